// The drawing and the printable cut sheet, from hand-made answers and from the engine.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>

#include "layout/plan.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/plan_view.h"
#include "tests/pages/planner/plan_fixtures.h"

namespace sheetora::planner {
namespace {

class FontCaches : public ::testing::Environment {
 public:
  void TearDown() override { ReleaseFontCaches(); }
};
[[maybe_unused]] const auto* const kFontCaches =
    ::testing::AddGlobalTestEnvironment(new FontCaches);

TEST(PlanView, NumbersAreWrittenShortAndExact) {
  const std::pair<layout::Micrometres, std::string_view> lengths[] = {
      {1092000, "1092"}, {3500, "3.5"}, {1, "0.001"}, {-500, "-0.5"}, {-2250, "-2.25"}, {0, "0"}};
  for (const auto& [micrometres, text] : lengths) EXPECT_EQ(Mm(micrometres), text);
  EXPECT_EQ(Decimal(127.1, 2, true), "127.10");
  EXPECT_EQ(Decimal(21.1834, 3), "21.183");
  EXPECT_EQ(Decimal(-0.0001, 3), "0");
}

TEST(PlanSvg, DrawsEachPieceWithItsBleedTheMarginsAndTheNumberedCuts) {
  layout::Request request = HandMadeRequest();
  request.bleed = 1500;
  const std::string svg = PlanSvg(request, HandMadeAnswer(), Chinese(), false);
  EXPECT_TRUE(svg.starts_with("<svg "));
  EXPECT_EQ(Occurrences(svg, "class=\"piece\""), 4u);
  EXPECT_EQ(Occurrences(svg, "class=\"margin\""), 2u);
  EXPECT_EQ(Occurrences(svg, "<path class=\"bleed\" d=\"M3.5 8.5h48v33h-48z"), 1u);
  EXPECT_EQ(Occurrences(svg, "class=\"cut\""), 6u);
  EXPECT_EQ(Occurrences(svg, "class=\"cut-no\""), 6u);
  // The first cut is the gripper strip's, 10 mm up from the bottom edge.
  EXPECT_NE(svg.find("<line class=\"cut\" x1=\"0\" y1=\"10\" x2=\"100\" y2=\"10\"/>"),
            std::string::npos);
  EXPECT_NE(svg.find(">100 mm</text>"), std::string::npos);
  EXPECT_NE(svg.find(">咬口 10 mm</text>"), std::string::npos);
}

// Beyond 5,000 pieces the drawing shows each block as one labelled rectangle, so that hundreds of
// thousands of ups stay a small answer.
TEST(PlanSvg, DrawsBlocksInsteadOfPiecesBeyondFiveThousand) {
  const layout::Request request = {.sheet = {1092 * kMm, 787 * kMm}, .piece = {2 * kMm, 1 * kMm}};
  layout::Answer answer;
  answer.blocks = {{.columns = 100, .rows = 50}};
  EXPECT_EQ(Occurrences(PlanSvg(request, answer, Chinese(), false), "class=\"piece\""), 5000u);
  answer.blocks.push_back({.y = 50 * kMm, .columns = 1, .rows = 1});
  const std::string svg = PlanSvg(request, answer, Chinese(), true);
  EXPECT_EQ(Occurrences(svg, "class=\"piece\""), 0u);
  EXPECT_EQ(Occurrences(svg, "class=\"block\""), 2u);
  EXPECT_NE(svg.find(">100 × 50</text>"), std::string::npos);

  const layout::Answer huge = layout::Plan(request);
  ASSERT_GT(huge.ups, 100'000);
  EXPECT_LT(PlanSvg(request, huge, Chinese(), true).size(), 20'000u);
  EXPECT_LT(PlanPdf(request, huge, Chinese()).size(), 100'000u);
}

TEST(PlanPdf, HoldsTheFiguresAndTheCutListInTheChineseFont) {
  const std::string pdf = PlanPdf(HandMadeRequest(), HandMadeAnswer(), Chinese());
  const std::string text = Poppler(pdf, "pdftotext -layout {} -");
  ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is not installed";
  for (const char* expected :
       {"拼版裁切单", "拼版数：4", "已证明最优", "正数用纸：1,250 张", "全张用纸：165 张",
        "纸张重量：22.268 kg", "纸张费用：133.61 元", "1. 整张（100 × 70）横切，距咬口侧 10 mm",
        "6. 叠 #5（45 × 60）横切，距咬口侧 30 mm"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_NE(Poppler(pdf, "pdffonts {}").find("WenQuanYiMicroHei"), std::string::npos);
}

// The English cut sheet in inches, as a reader of the PDF gets it: its words, its numbers in
// inches, and its title.
TEST(PlanPdf, SpeaksEnglishInInchesWithATitle) {
  const std::string pdf = PlanPdf(HandMadeRequest(), HandMadeAnswer(), EnglishInInches());
  const std::string text = Poppler(pdf, "pdftotext -layout {} -");
  ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is needed";
  for (const char* expected :
       {"Cut sheet", "Press sheet 3.93701 × 2.75591 in", "Gripper 0.3937 in", "Ups: 4",
        "Proven optimal", "Run sheets: 1,250 sheets", "Paper cost: 133.61", "Cut sequence",
        "1. Whole sheet (3.93701 × 2.75591): horizontal cut 0.3937 in from the gripper edge"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_EQ(text.find("mm"), std::string::npos) << text;
  const std::string info = Poppler(pdf, "pdfinfo {}");
  EXPECT_TRUE(std::regex_search(info, std::regex("Title: +Cut sheet\n"))) << info;
  EXPECT_TRUE(std::regex_search(info, std::regex("Subject: +Press sheet 3.93701 "))) << info;
  EXPECT_NE(pdf.find("/Lang (en)"), std::string::npos);
}

TEST(PlanPdf, ALongCutListGoesOnToFurtherPages) {
  layout::Answer answer = HandMadeAnswer();
  layout::CutNode& first = answer.cuts->front();
  first.at.clear();
  for (layout::Micrometres i = 1; i < 200; ++i) first.at.push_back(i * 350);
  const std::string text =
      Poppler(PlanPdf(HandMadeRequest(), answer, Chinese()), "pdftotext -layout {} -");
  ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) is not installed";
  EXPECT_EQ(Occurrences(text, "\f"), 2u);  // two pages
  EXPECT_NE(text.find("204. 叠 #5"), std::string::npos);
}

}  // namespace
}  // namespace sheetora::planner
