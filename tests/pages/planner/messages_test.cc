// The planner's languages and units: which language a request gets, how numbers and lengths are
// written in it, fractions typed in inches, the presets read back exactly, and an English page
// with no Chinese left on it.
#include "pages/planner/messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "pages/planner/plan_view.h"
#include "pages/planner/planner.h"
#include "pages/planner/presets.h"
#include "tests/pages/planner/plan_fixtures.h"

namespace sheetora::planner {
namespace {

/// Whether UTF-8 text holds a CJK character or a full-width sign (U+3000 to U+9FFF, U+FF00 to
/// U+FFEF): what no English page may show.
bool HasChinese(std::string_view text) {
  for (std::size_t i = 0; i + 2 < text.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(text[i + 1]);
    if ((a >= 0xE3 && a <= 0xE9) || (a == 0xEF && (b == 0xBC || b == 0xBD || b == 0xBE))) {
      return true;
    }
  }
  return false;
}

TEST(Language, TheLangFieldThenTheBrowsersWeightsThenChinese) {
  const std::tuple<std::string_view, std::string_view, std::string_view> cases[] = {
      {"", "", "zh"},
      {"en", "zh-CN", "en"},
      {" zh ", "en", "zh"},
      {"fr", "en-US,en;q=0.9", "en"},  // a language we lack falls back to the header
      {"", "zh-TW,zh;q=0.9,en;q=0.8", "zh"},
      {"", "en;q=0.5, ZH;q=0.8", "zh"},
      {"", "fr-FR, de;q=0.9, EN-gb;q=0.2", "en"},
      {"", "en;q=0", "zh"},  // q=0: not acceptable
      {"", "en;q=2, zh;q=0.1", "zh"},
      {"", "en;q=abc", "zh"},
      {"", ",,;;q=", "zh"},
  };
  for (const auto& [field, header, code] : cases) {
    EXPECT_EQ(ChooseLanguage(field, header).code, code) << field << " | " << header;
  }
}

TEST(Locale, WritesNumbersForTheLanguageAndLargeOnesWithoutInventedDigits) {
  const Locale en = EnglishInInches(), zh = Chinese();
  EXPECT_EQ(zh.Fill(Msg::kCutAlongX, {"a", "b", "c"}), "a（b）竖切，距左侧 c");
  EXPECT_EQ(en.Fill(Msg::kCutAlongX, {"a", "b", "c"}), "a (b): vertical cut c from the left edge");
  EXPECT_EQ(en.Count(1234567), "1,234,567");
  EXPECT_EQ(en.Count(-1000), "-1,000");
  EXPECT_EQ(en.Count(999), "999");
  EXPECT_EQ(en.Number(1234.5, 2, true), "1,234.50");
  EXPECT_EQ(en.Number(-0.0001, 3), "0");
  // A cost of a huge job: the double holds about 15 digits, and so does the text.
  EXPECT_EQ(zh.Fill(Msg::kMoney, {zh.Number(6.45743e22, 2, true)}), "6.45743 × 10²² 元");
  EXPECT_EQ(en.Number(-1.5e15, 2), "-1.5 × 10¹⁵");
  EXPECT_EQ(en.Number(999'999'999'999'999.0, 2), "999,999,999,999,999");
}

TEST(Units, FractionsReadAsDecimalsAndInchesReadBackToTheSameMicrometres) {
  const std::pair<std::string_view, std::string_view> typed[] = {
      {"8 1/2", "8.5"},   {"8½", "8.5"},  {" 8 ½ ", "8.5"},         {"8-1/2", "8.5"},
      {"3/16", "0.1875"}, {"⅛", "0.125"}, {"1 2/3", "1.666666667"}, {"8.5", "8.5"},
      {"1/0", "1/0"},     {"a/2", "a/2"}, {"8 1/2/3", "8 1/2/3"},   {"-1/2", "-1/2"},
      {"8x½", "8x½"},
  };
  for (const auto& [text, decimal] : typed) EXPECT_EQ(FractionsAsDecimals(text), decimal) << text;

  // Every micrometre up to a metre and a half, sampled: the text of a length in inches reads
  // back, at the form's rounding, to the micrometre it came from.
  for (layout::Micrometres um = 0; um < 1'500'000; um += 997) {
    const std::string text = LengthText(um, Unit::kIn);
    EXPECT_EQ(std::llround(std::stod(text) * kMicrometresPerInch), um) << text;
  }
  EXPECT_EQ(LengthText(215'900, Unit::kIn), "8.5");
  EXPECT_EQ(LengthText(787'000, Unit::kIn), "30.98425");
}

TEST(Presets, EachOffersItsExactSizeInEitherUnit) {
  for (const Preset& preset : Presets()) {
    for (const std::string_view unit : {"mm", "in"}) {
      const Unit u = unit == "in" ? Unit::kIn : Unit::kMm;
      const std::string size = LengthText(preset.length, u) + "x" + LengthText(preset.width, u);
      const ParsedForm form =
          ParsePlannerQuery(Q("unit=" + std::string(unit) + "&sheet=" + size + "&piece=" + size));
      ASSERT_TRUE(form.request) << size;
      EXPECT_EQ(form.request->sheet.length, preset.length) << size << " " << unit;
      EXPECT_EQ(form.request->sheet.width, preset.width) << size << " " << unit;
      EXPECT_GE(preset.length, preset.width) << size;  // length first, as the form reads it
    }
  }
}

TEST(PlannerLanguage, TheEnglishPageShowsNoChineseAndTheChosenUnit) {
  const std::string queries[] = {
      "lang=en&unit=in&sheet=25x19&piece=8 1/2x11&bleed=⅛&gripper=0.5",
      "lang=en&sheet=546x393&piece=184x130&quantity=5000&parent=1092x787&grammage=157&price=6000",
      "lang=en&sheet=1092x787&piece=210x140&cut=die",
      "lang=en&sheet=1092x787&piece=abc",                          // the form's own error
      "lang=en&sheet=1092x787&piece=210x140&gripper=1001",         // the engine's refusal
      "lang=en&sheet=1092x787&piece=210x140&quantity=10&price=1",  // the engine's: no grammage
  };
  for (const std::string& query : queries) {
    const AppAnswer answer = ServePlanPage({.method = "GET", .path = "/plan", .query = Q(query)});
    std::string body = answer.body;
    // The switch names Chinese in Chinese, marked as such.
    const auto link = body.find(" lang=\"zh-CN\" hreflang=\"zh-CN\">中文</a>");
    ASSERT_NE(link, std::string::npos) << query;
    body.erase(link, std::string_view(" lang=\"zh-CN\" hreflang=\"zh-CN\">中文</a>").size());
    EXPECT_FALSE(HasChinese(body)) << query << "\n" << body;
    EXPECT_NE(body.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_EQ(answer.headers.front().second, "Accept-Language");
  }

  const AppAnswer inches = ServePlanPage(
      {.method = "GET", .path = "/plan", .query = Q(queries[0]), .accept_language = "zh"});
  EXPECT_EQ(inches.status, 200u);
  EXPECT_NE(inches.body.find("Press sheet 25 × 19 in · Piece 8.5 × 11 in · Bleed 0.125 in"),
            std::string::npos);
  EXPECT_NE(inches.body.find(">25 in</text>"), std::string::npos);
  EXPECT_NE(inches.body.find("value=\"8 1/2x11\""), std::string::npos);  // as typed
  EXPECT_NE(inches.body.find("from the gripper edge</li>"), std::string::npos);
  EXPECT_NE(inches.body.find("<option value=\"38x25\""), std::string::npos);  // a preset

  // The same plan asked in millimetres is the same layout, drawn the same.
  const AppAnswer mm = ServePlanPage(
      {.method = "GET",
       .path = "/plan",
       .query = Q("lang=en&sheet=635x482.6&piece=215.9x279.4&bleed=3.175&gripper=12.7")});
  const auto drawing = [](const std::string& html) {
    return html.substr(html.find("<g transform"), html.find("</g>") - html.find("<g transform"));
  };
  EXPECT_EQ(drawing(inches.body), drawing(mm.body));

  // The drawing's alternative: the layout in words.
  EXPECT_EQ(LayoutInWords(HandMadeRequest(), HandMadeAnswer(), Locale(Languages()[1], Unit::kMm)),
            "4 pieces of 45 × 30 mm on a 100 × 70 mm sheet, gripper edge at the bottom: 2 across "
            "× 2 down upright, starting 5 mm from the left and 10 mm from the gripper edge.");
  EXPECT_NE(inches.body.find("<desc id=\"plan-desc\">"), std::string::npos);

  // The engine's refusal, in each language, beside its field.
  const AppAnswer zh = ServePlanPage(
      {.method = "GET", .path = "/plan", .query = Q("sheet=1092x787&piece=210x140&gripper=1001")});
  EXPECT_NE(zh.body.find("role=\"alert\">超出允许范围</p>"), std::string::npos);
  const AppAnswer en = ServePlanPage({.method = "GET", .path = "/plan", .query = Q(queries[5])});
  EXPECT_NE(en.body.find("role=\"alert\">A price per tonne needs the grammage</p>"),
            std::string::npos);
}

}  // namespace
}  // namespace sheetora::planner
