#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::CookieSubkey;
using testing::PageHarness;

constexpr std::string_view kMenu = "Sheetora.Class58";

// The page of a first visit, itself checked byte for byte against its golden file below.
std::string FirstVisitMenu() {
  PageHarness harness;
  return harness.Html(kMenu);
}

std::vector<CookieSubkey> PinBanCookie(std::string paper_l, std::string paper_w, std::string pl,
                                       std::string pw) {
  return {{"PinBan", "PaperL", std::move(paper_l)},
          {"PinBan", "PaperW", std::move(paper_w)},
          {"PinBan", "PL", std::move(pl)},
          {"PinBan", "PW", std::move(pw)}};
}

std::string SizeInput(std::string_view name, std::string_view value) {
  return "<input name=\"" + std::string(name) + "\" type=\"text\" value=\"" + std::string(value) +
         "\" size=\"4\" onClick=\"javascript:this.focus()\" onFocus=\"this.select()\">\r\n";
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(MenuPage, FirstVisitIsByteExact) {
  PageHarness harness;
  EXPECT_EQ(testing::Gb2312(harness.Html(kMenu)), testing::Golden("Left.asp.golden"));
  EXPECT_TRUE(harness.LogLines().empty());
}

TEST(MenuPage, ReadsOnlyTheCookieFromTheRequest) {
  PageHarness harness;
  EXPECT_EQ(harness.Html(kMenu, {{"PaperL", "1"}, {"PaiLie", "HP"}}), FirstVisitMenu());
  EXPECT_EQ(harness.Html(kMenu, {}, {{"Other", "PaperL", "5"}}), FirstVisitMenu());
}

TEST(MenuPage, FillsTheFourSizesFromTheRememberedCookie) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu, {}, PinBanCookie("1092", "787", "210", "140"));
  EXPECT_NE(
      html.find(SizeInput("PaperL", "1092") + "×\r\n" + SizeInput("PaperW", "787") + "MM</td>\r\n"),
      std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "210") + "×\r\n" + SizeInput("PW", "140") + "MM</td>\r\n"),
            std::string::npos);
  // Nothing else moves: the filled page is the first-visit page with the four values inserted.
  std::string expected = FirstVisitMenu();
  for (const auto& [name, value] :
       {std::pair{"PaperL", "1092"}, {"PaperW", "787"}, {"PL", "210"}, {"PW", "140"}}) {
    const std::string empty = SizeInput(name, "");
    expected.replace(expected.find(empty), empty.size(), SizeInput(name, value));
  }
  EXPECT_EQ(html, expected);
}

TEST(MenuPage, AMissingSubkeyLeavesItsFieldEmpty) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu, {}, {{"PinBan", "PL", "297"}});
  EXPECT_NE(html.find(SizeInput("PaperL", "")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "297")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PW", "")), std::string::npos);
}

// The cookie comes from the browser, so its text must not leave the value attribute.
TEST(MenuPage, EscapesCookieTextInTheValueAttributes) {
  PageHarness harness;
  const std::string html =
      harness.Html(kMenu, {}, PinBanCookie("\"><script>alert(1)</script>", "a&b", "'x'", "1<2"));
  EXPECT_NE(html.find(SizeInput("PaperL", "&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;")),
            std::string::npos);
  EXPECT_NE(html.find(SizeInput("PaperW", "a&amp;b")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "&#39;x&#39;")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PW", "1&lt;2")), std::string::npos);
  EXPECT_EQ(Count(html, "<script"), Count(FirstVisitMenu(), "<script"));
}

// Contracts that other pages and the client script rely on, whatever the layout of the lines.
TEST(MenuPage, KeepsTheContractsOfFormsAndScript) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu);
  // Every text box selects its content when clicked, for overtyping.
  EXPECT_EQ(Count(html, "type=\"text\""), 13u);
  EXPECT_EQ(Count(html, "onClick=\"javascript:this.focus()\" onFocus=\"this.select()\""), 13u);
  // One script after the document, defining the six functions in this order.
  const auto after_document = html.find("</html>\r\n<script language=\"javascript\">\r\n");
  ASSERT_NE(after_document, std::string::npos);
  std::size_t at = after_document;
  for (std::string_view function :
       {"function displaynone(){", "function chgMenu(obj){", "function chgPrice(obj){",
        "function checkPaper(){", "function checkSpine(){", "function checkSubmit(){"}) {
    const auto found = html.find(function, at);
    ASSERT_NE(found, std::string::npos) << function;
    at = found;
  }
  EXPECT_TRUE(html.ends_with("}\r\n</script>\r\n"));
  // Today's browsers read the first cursor rule; the second is kept for older ones.
  EXPECT_NE(
      html.find(".menuover{background-color:#cccccc;color:#ff0000;cursor:pointer;cursor:hand}"),
      std::string::npos);
  // The five sections in order, each header before its content.
  at = 0;
  for (int n = 1; n <= 5; ++n) {
    const auto header = html.find("chgMenu(" + std::to_string(n) + ")", at);
    const auto content = html.find("<div ID=\"Menu" + std::to_string(n) + "\">", at);
    ASSERT_NE(header, std::string::npos);
    ASSERT_NE(content, std::string::npos);
    EXPECT_LT(header, content);
    at = content;
  }
}

}  // namespace
}  // namespace sheetora
