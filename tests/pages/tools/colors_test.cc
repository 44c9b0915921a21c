#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/page_head.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

class ColorsPage : public ::testing::Test {
 protected:
  void SetUp() override { html_ = harness_.Html("Sheetora.Class53"); }

  // The start tag of the element whose id or name is given.
  std::string TagOf(const std::string& attribute) const {
    const std::size_t at = html_.find(attribute);
    if (at == std::string::npos) return {};
    const std::size_t start = html_.rfind('<', at);
    return html_.substr(start, html_.find('>', at) + 1 - start);
  }

  // The option values of a select, in order.
  std::vector<std::string> OptionsOf(const std::string& name) const {
    std::vector<std::string> values;
    const std::size_t select = html_.find("<select name=\"" + name + "\"");
    const std::size_t end = html_.find("</select>", select);
    for (std::size_t at = html_.find("<option", select); at < end;
         at = html_.find("<option", at + 1)) {
      const std::size_t close = html_.find("</option>", at);
      const std::string option = html_.substr(at, close - at);
      const std::string value = option.substr(15, option.find('"', 15) - 15);
      EXPECT_EQ(option, "<option value=\"" + value + "\">" + value);
      values.push_back(value);
    }
    return values;
  }

  PageHarness harness_;
  std::string html_;
};

TEST_F(ColorsPage, OuterTableFollowsTheHead) {
  EXPECT_TRUE(
      html_.starts_with("\r\n" + StandardHead({.title = kProductTitle}) +
                        "<table width=\"550\" height=\"153\" border=\"1\" cellpadding=\"5\" "
                        "cellspacing=\"0\" borderColorLight=#cccccc "
                        "borderColorDark=#ffffff>\r\n<tr>\r\n<td height=\"63\" colspan=\"3\">"))
      << html_;
}

TEST_F(ColorsPage, EachSelectOffers255DownTo0WithNoneSelected) {
  std::vector<std::string> expected;
  for (int v = 255; v >= 0; --v) expected.push_back(std::to_string(v));
  for (const std::string channel : {"1", "2", "3"}) {
    EXPECT_EQ(OptionsOf("RGB" + channel), expected) << channel;
    EXPECT_EQ(
        TagOf("name=\"RGB" + channel + "\""),
        "<select name=\"RGB" + channel + "\" onchange=\"javascript:chgColor(" + channel + ")\">");
  }
  EXPECT_EQ(html_.find("selected"), std::string::npos);
}

TEST_F(ColorsPage, ColouredTablesCarryTheirColourAsAttributeAndAsStyle) {
  const std::vector<std::pair<std::string, std::string>> tables = {{"RGBTab", "RGB(255,255,255)"},
                                                                   {"RGBTab1", "RGB(255,0,0)"},
                                                                   {"RGBTab2", "RGB(0,255,0)"},
                                                                   {"RGBTab3", "RGB(0,0,255)"}};
  for (const auto& [id, colour] : tables) {
    const std::string tag = TagOf("id=\"" + id + "\"");
    EXPECT_NE(tag.find(" bgcolor=\"" + colour + "\" style=\"background-color:" + colour + "\" "),
              std::string::npos)
        << tag;
  }
  EXPECT_EQ(TagOf("name=\"RGBValue\""),
            "<input name=\"RGBValue\" type=\"text\" value=\"RGB(255,255,255)\" "
            "style=\"border:1px;text-align:center;\" onclick=\"this.focus()\" "
            "onfocus=\"this.select()\">");
}

TEST_F(ColorsPage, MixingScriptFollowsTheDocument) {
  EXPECT_TRUE(html_.ends_with(CrLf(R"js(<tr align="center">
<td>红(R)</td>
<td>绿(G)</td>
<td>蓝(B)</td>
</tr>
</table>
</body>
</html>
<script language="javascript">
function chgColor(obj){
var RGB1,RGB2,RGB3
RGB1=parseInt(document.all.RGB1.value)
RGB2=parseInt(document.all.RGB2.value)
RGB3=parseInt(document.all.RGB3.value)
if(obj==1){document.all.RGBTab1.style.background="RGB("+ RGB1 +",0,0)"}
if(obj==2){document.all.RGBTab2.style.background="RGB(0,"+ RGB2 +",0)"}
if(obj==3){document.all.RGBTab3.style.background="RGB(0,0,"+ RGB3 +")"}
document.all.RGBTab.style.background="RGB("+ RGB1 +","+ RGB2 +","+ RGB3 +")"
document.all.RGBValue.value="RGB("+ RGB1 +","+ RGB2 +","+ RGB3 +")"
}
</script>
)js")));
}

TEST_F(ColorsPage, ReadsNothingFromTheRequest) {
  EXPECT_EQ(harness_.Html("Sheetora.Class53", {{"RGB1", "0"}, {"i", "7"}}), html_);
  EXPECT_TRUE(harness_.LogLines().empty());
}

}  // namespace
}  // namespace sheetora
