#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST_F(ColorsPage, IsByteExact) {
  EXPECT_EQ(testing::Gb2312(html_), testing::Golden("Colors.asp.golden"));
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

TEST_F(ColorsPage, ReadsNothingFromTheRequest) {
  EXPECT_EQ(harness_.Html("Sheetora.Class53", {{"RGB1", "0"}, {"i", "7"}}), html_);
  EXPECT_TRUE(harness_.LogLines().empty());
}

}  // namespace
}  // namespace sheetora
