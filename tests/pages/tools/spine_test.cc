#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/page_head.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::Fields;
using testing::PageHarness;

// The head itself is checked byte for byte on the paper page.
const std::string kHead = "\r\n" + StandardHead({.title = "书脊计算工具--KorvaneV2.0"});

// The table up to the open value cell: where a failed multiplication leaves the response.
const std::string kOpenValueCell = CrLf(R"(
<table width="300" height="26" border="1" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td width="117" align="center">书脊厚度:</td>
<td width="177" align="center">)");

const std::string kEnd = CrLf(R"(
</body>
</html>
)");

std::string Spine(PageHarness& harness, const Fields& form) {
  return harness.Html("Sheetora.Class63", form);
}

TEST(SpinePage, ThicknessIsByteExact) {
  PageHarness harness;
  EXPECT_EQ(Spine(harness, {{"PaperWeight", "80"}, {"PaperPNum", "200"}}),
            kHead + kOpenValueCell + CrLf(R"(21.6&nbsp;&nbsp;MM</td>
</tr>
</table>
)") + kEnd);
  EXPECT_TRUE(harness.LogLines().empty());
}

TEST(SpinePage, ThicknessIsGrammageTimesPagesTimesTheFactor) {
  const std::vector<std::pair<Fields, std::string>> cases = {
      {{{"PaperWeight", "157"}, {"PaperPNum", "100"}}, "21.195"},
      {{{"PaperWeight", "128"}, {"PaperPNum", "300"}}, "51.84"},
      {{{"PaperWeight", "80.5"}, {"PaperPNum", "100"}}, "10.8675"},
      {{{"PaperWeight", "0"}, {"PaperPNum", "200"}}, "0"},
      {{{"PaperWeight", "80"}, {"PaperPNum", "0"}}, "0"},
      {{{"PaperWeight", "-80"}, {"PaperPNum", "200"}}, "-21.6"},
      {{{"PaperWeight", " 80 "}, {"PaperPNum", "2E2"}}, "21.6"},
  };
  for (const auto& [form, thickness] : cases) {
    PageHarness harness;
    const std::string html = Spine(harness, form);
    EXPECT_NE(html.find(kOpenValueCell + thickness + "&nbsp;&nbsp;MM</td>\r\n"), std::string::npos)
        << thickness;
  }
}

TEST(SpinePage, EmptyOrAbsentFieldGivesTheInputErrorText) {
  const std::vector<Fields> posts = {
      {},
      {{"PaperWeight", ""}, {"PaperPNum", ""}},
      {{"PaperWeight", "80"}, {"PaperPNum", ""}},
      {{"PaperWeight", ""}, {"PaperPNum", "200"}},
      {{"PaperWeight", "80"}},
      {{"PaperPNum", "200"}},
  };
  for (const auto& form : posts) {
    PageHarness harness;
    EXPECT_EQ(Spine(harness, form), kHead + "输入错误!" + kEnd);
    EXPECT_TRUE(harness.LogLines().empty());
  }
}

TEST(SpinePage, TextThatHoldsNoNumberEndsInsideTheOpenValueCell) {
  const std::vector<Fields> posts = {
      {{"PaperWeight", "80"}, {"PaperPNum", "200页"}},
      {{"PaperWeight", "  "}, {"PaperPNum", "200"}},
  };
  for (const auto& form : posts) {
    PageHarness harness;
    EXPECT_EQ(Spine(harness, form), kHead + kOpenValueCell);
    EXPECT_EQ(harness.LogLines(),
              std::vector<std::string>{"\\Sheetora_Web\\Spine, AllTORVA: Type mismatch"});
  }
}

}  // namespace
}  // namespace sheetora
