#include "pages/page_table.h"

#include <gtest/gtest.h>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

TEST(PageTable, RootServesTheFramesetAndPathsIgnoreCase) {
  const auto class_at = [](std::string_view path) -> std::string_view {
    const PageRow* row = FindPageByPath(path);
    return row ? row->class_name : "none";
  };
  EXPECT_EQ(class_at("/"), "Sheetora.Class57");
  EXPECT_EQ(class_at(""), "Sheetora.Class57");
  EXPECT_EQ(class_at("/PINBAN.ASP"), "Sheetora.Class61");
  EXPECT_EQ(class_at("/copyright.asp"), "Sheetora.Class54");
  EXPECT_EQ(class_at("/fuc.asp"), "none");  // created by name only
  EXPECT_EQ(class_at("/Main.asp/"), "none");
  EXPECT_EQ(class_at("/../Main.asp"), "none");
  EXPECT_NE(FindPageByClass("Sheetora.Class55"), nullptr);
  EXPECT_EQ(FindPageByClass("sheetora.class57"), nullptr);
}

// Each path must be served by its own page: the bytes of its golden file, or a text that only
// its page writes when it is requested without a form.
TEST(PageTable, EachPathRendersItsOwnPage) {
  struct Expected {
    std::string_view path, class_name, golden, own_text;
  };
  const Expected pages[] = {
      {"index.asp", "Sheetora.Class57", "index.asp.golden", ""},
      {"Left.asp", "Sheetora.Class58", "Left.asp.golden", ""},
      {"Main.asp", "Sheetora.Class59", "Main.asp.golden", ""},
      {"PinBan.asp", "Sheetora.Class61", "", "alert(\"填写错误!\")"},
      {"Paper.asp", "Sheetora.Class60", "", "<title>纸张克重价格换算工具--KorvaneV2.0</title>"},
      {"Spine.asp", "Sheetora.Class63", "", "<title>书脊计算工具--KorvaneV2.0</title>"},
      {"Colors.asp", "Sheetora.Class53", "Colors.asp.golden", ""},
      {"CopyRight.asp", "Sheetora.Class54", "CopyRight.asp.golden", ""},
  };
  std::size_t routed = 0;
  for (const PageRow& row : PageTable()) routed += row.path.empty() ? 0 : 1;
  EXPECT_EQ(routed, std::size(pages));

  PageHarness harness;
  for (const Expected& page : pages) {
    const PageRow* row = FindPageByPath(page.path);
    ASSERT_NE(row, nullptr) << page.path;
    EXPECT_EQ(row->class_name, page.class_name);
    Request request;
    Server server;
    server.log_dir = harness.log_dir();
    const PageOutcome outcome = ServeSitePage(page.path, request, server);
    EXPECT_EQ(outcome.status, 200) << page.path;
    if (!page.golden.empty()) {
      EXPECT_EQ(testing::Gb2312(outcome.response.body()), testing::Golden(page.golden))
          << page.path;
    } else {
      EXPECT_NE(outcome.response.body().find(page.own_text), std::string::npos) << page.path;
    }
    // Created by its class name, the row's page writes the same.
    EXPECT_EQ(harness.Html(page.class_name), outcome.response.body()) << page.class_name;
  }
}

TEST(PageRunner, UnknownClassOrPathIsA404AndWritesNothing) {
  PageHarness harness;
  const auto outcome = harness.Run("Sheetora.Class99");
  EXPECT_EQ(outcome.status, 404);
  EXPECT_EQ(outcome.response.body(), "");
  Request request;
  Server server;
  EXPECT_EQ(ServeSitePage("/Missing.asp", request, server).status, 404);
}

}  // namespace
}  // namespace sheetora
