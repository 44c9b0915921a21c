// The layout functions as a page calls them: searches at the page's scale, the drawing's bytes,
// and the errors they trap.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "calc/layout_search.h"
#include "pages/fuc.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

class LayoutFixture : public ::testing::Test {
 protected:
  // A page that includes the shared functions and draws at a scale of its own.
  class Host final : public SharedFunctions {
   public:
    explicit Host(Value scale) : SharedFunctions("PinBan"), scale_(std::move(scale)) {}
    void AllTORVA() override {}
    Value DrawingScale() const override { return scale_; }

   private:
    Value scale_;
  };

  template <typename F>
  void OnPage(F f) {
    drawn_ = harness_
                 .RunWith([&] {
                   Host page(scale_);
                   f(page);
                 })
                 .response.body();
  }

  // An output's text, or "-" when the search never reached it: `order` is its place in the
  // order of assignment, of which the first `written` were reached.
  static std::string Out(int written, int order, double v) {
    return order < written ? Value(v).Text() : std::string("-");
  }
  // Appends a block as " W*H:Col*Row", given the places of its Col, Row, W and H.
  static void AppendBlock(std::string& text, int written, const LayoutBlock& b, int col, int row,
                          int w, int h) {
    text.append(" ").append(Out(written, w, b.TabW)).append("*").append(Out(written, h, b.TabH));
    text.append(":").append(Out(written, col, b.TabCol)).append("*");
    text.append(Out(written, row, b.TabRow));
  }

  // PinBan's result as "KNum okax okay LT LB RT RB okPiece"; outputs are reached in the order
  // okPiece, okax, okay, then Col, Row, W, H of LT, LB, RT, RB.
  std::string FourBlocks(Value L, Value W, Value PL, Value PW) {
    FourBlockResult r;
    OnPage([&](SharedFunctions& page) { page.PinBan(L, W, PL, PW, r); });
    std::string text = Value(r.KNum).Text();
    text.append(" ").append(Out(r.written, 1, r.okax));
    text.append(" ").append(Out(r.written, 2, r.okay));
    int order = 3;
    for (const LayoutBlock* b : {&r.LT, &r.LB, &r.RT, &r.RB}) {
      AppendBlock(text, r.written, *b, order, order + 1, order + 2, order + 3);
      order += 4;
    }
    return text.append(" ").append(Out(r.written, 0, r.okPiece));
  }

  // PinBanTwo's result as "KNum Top Bot okPiece"; outputs are reached in the order Row, Col, W,
  // H of Top and Bot, then okPiece.
  std::string TwoBlocks(Value L, Value W, Value PL, Value PW) {
    TwoBlockResult r;
    OnPage([&](SharedFunctions& page) { page.PinBanTwo(L, W, PL, PW, r); });
    std::string text = Value(r.KNum).Text();
    AppendBlock(text, r.written, r.Top, 1, 0, 2, 3);
    AppendBlock(text, r.written, r.Bot, 5, 4, 6, 7);
    return text.append(" ").append(Out(r.written, 8, r.okPiece));
  }

  std::string Drawn(Value w, Value h, Value rows, Value cols) {
    OnPage([&](SharedFunctions& page) { page.DrawTab(w, h, rows, cols); });
    return drawn_;
  }

  PageHarness harness_;
  std::string drawn_;  // what the last page call wrote
  Value scale_;
};

TEST_F(LayoutFixture, FourBlocksReportTheFirstBestLayoutAtThePageScale) {
  scale_ = Value(4.0);
  // The mixed layout at i = 20, j = 10 comes before the plain 5 x 7 grid of the same count.
  EXPECT_EQ(FourBlocks(100, 70, 20, 10), "35 20 10 80*40:1*1 80*240:2*3 320*80:8*1 320*200:4*5 4");
  // The whole sheet as the left column; the right column's split is the one last found (50).
  EXPECT_EQ(FourBlocks(100, 70, 50, 35), "4 100 70 400*280:2*2 280*0:2*0 0*200:0*1 0*0:0*0 1");
  EXPECT_EQ(FourBlocks(40, 70, 50, 35), "0 - - -*-:-*- -*-:-*- -*-:-*- -*-:-*- -");
  scale_ = Value(400.0) / Value(1092);
  EXPECT_EQ(FourBlocks(1092, 787, 210, 140),
            "27 210 560 76*205:1*4 51*76:1*1 307*76:6*1 307*205:4*4 4");
  scale_ = Value();  // a page without a scale draws everything 0 wide
  EXPECT_EQ(FourBlocks(100, 70, 20, 10), "35 20 10 0*0:1*1 0*0:2*3 0*0:8*1 0*0:4*5 4");
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(LayoutFixture, TwoBlocksReportTheLowestBestBandUnrounded) {
  scale_ = Value(4.0);
  EXPECT_EQ(TwoBlocks(100, 70, 20, 10), "35 400*40:5*1 400*240:10*3 2");
  EXPECT_EQ(TwoBlocks(100, 70, 30, 20), "11 360*160:3*2 400*120:5*1 2");
  EXPECT_EQ(TwoBlocks(100, 200, 120, 10), "10 0*40:0*1 400*480:10*1 1");  // too long to stand
  EXPECT_EQ(TwoBlocks(100, 70, 20, 80), "0 -*-:-*- -*-:-*- -");
  scale_ = Value(400.0) / Value(1092);
  EXPECT_EQ(TwoBlocks(1092, 787, 210, 140),
            "27 384.615384615385*205.128205128205:5*4 358.974358974359*76.9230769230769:7*1 2");
}

TEST_F(LayoutFixture, SearchErrorsAreTrappedKeepingWhatWasAssigned) {
  scale_ = Value(1.0);
  // A piece side below 0.5 divides by zero at the first step: nothing but KNum is set.
  EXPECT_EQ(FourBlocks(100, 70, 20, 0.4), "0 - - -*-:-*- -*-:-*- -*-:-*- -*-:-*- -");
  EXPECT_EQ(TwoBlocks(100, 70, 0.3, 10), "0 -*-:-*- -*-:-*- -");
  // A sheet beyond the 32-bit range fails in the first layout's right column, after its left.
  EXPECT_EQ(FourBlocks(3e9, 100, 150, 1), "1 150 1 150*1:1*1 150*0:150*0 -*-:-*- -*-:-*- 1");
  scale_ = Value("wide");  // a scale that holds no number fails at the first drawn size
  EXPECT_EQ(FourBlocks(100, 70, 20, 10), "35 20 10 -*-:1*1 -*-:-*- -*-:-*- -*-:-*- 4");
  EXPECT_EQ(harness_.LogLines(),
            (std::vector<std::string>{"\\Sheetora_Web\\PinBan, PinBan: Division by zero",
                                      "\\Sheetora_Web\\PinBan, PinBanTwo: Division by zero",
                                      "\\Sheetora_Web\\PinBan, PinBan: Overflow",
                                      "\\Sheetora_Web\\PinBan, PinBan: Type mismatch"}));
}

TEST_F(LayoutFixture, SearchesReadOnlyTheSizesTheirLoopsReach) {
  // Two negative piece sides pass the page's checks; a loop stepping down runs not at all.
  EXPECT_EQ(FourBlocks(1092, 787, -140, -210), "0 - - -*-:-*- -*-:-*- -*-:-*- -*-:-*- -");
  EXPECT_EQ(TwoBlocks(1092, 787, -140, -210), "0 -*-:-*- -*-:-*- -");
  // The widths are first read by the loop over heights, which a too long piece never starts.
  EXPECT_EQ(FourBlocks(100, "x", 200, "y"), "0 - - -*-:-*- -*-:-*- -*-:-*- -*-:-*- -");
  EXPECT_TRUE(harness_.LogLines().empty());
  FourBlocks(100, "x", 20, 10);
  TwoBlocks("x", 70, 20, 10);
  EXPECT_EQ(harness_.LogLines(),
            (std::vector<std::string>{"\\Sheetora_Web\\PinBan, PinBan: Type mismatch",
                                      "\\Sheetora_Web\\PinBan, PinBanTwo: Type mismatch"}));
}

TEST_F(LayoutFixture, DrawTabWritesOneUnquotedGridTable) {
  // 80 \ 2 = 40 is not above 40 \ 1 = 40: portrait; the tooltip's line end precedes the ">".
  EXPECT_EQ(Drawn(80, 40, 1, 2),
            "<table width=80 height=40 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 "
            "title=竖排1行2列\r\n>\r\n"
            "<tr bgcolor=#FFFFFF>\r\n"
            "<td><img width=0 height=0></td><td><img width=0 height=0></td></tr>\r\n"
            "</table>\r\n");
  EXPECT_NE(Drawn(80, 40, 2, 2).find("title=横排2行2列\r\n>"), std::string::npos);
  EXPECT_NE(Drawn(Value(384.615384615385), Value(76.9230769230769), 1, 7)
                .find("<table width=384.615384615385 height=76.9230769230769 "),
            std::string::npos);
  // A fractional count draws its whole part: two rows of no cells.
  EXPECT_EQ(Drawn(80, 40, 2.7, 0.7),
            "<table width=80 height=40 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 "
            "title=横排2.7行0.7列\r\n>\r\n<tr bgcolor=#FFFFFF>\r\n</tr>\r\n"
            "<tr bgcolor=#FFFFFF>\r\n</tr>\r\n</table>\r\n");
}

TEST_F(LayoutFixture, DrawTabTooltipStopsAtTenThousandCells) {
  const std::string full = Drawn(400, 400, 100, 100);
  EXPECT_EQ(full.substr(0, full.find("\r\n")),
            "<table width=400 height=400 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 "
            "title=>");
  const std::string row = "<tr bgcolor=#FFFFFF>\r\n" + [] {
    std::string cells;
    for (int c = 0; c < 100; ++c) cells += "<td><img width=0 height=0></td>";
    return cells;
  }() + "</tr>\r\n";
  EXPECT_EQ(full.size(), full.find("\r\n") + 2 + 100 * row.size() + 10);
  EXPECT_EQ(full.substr(full.find("\r\n") + 2, row.size()), row);
  EXPECT_NE(Drawn(404, 396, 99, 101).find("title=竖排99行101列\r\n>"), std::string::npos);
}

TEST_F(LayoutFixture, DrawTabDrawsNothingForAnEmptyBlockAndTrapsBadValues) {
  for (const Value& bad : {Value(0), Value(-3), Value(), Value(0.0)}) {
    EXPECT_EQ(
        Drawn(bad, 40, 1, 2) + Drawn(80, bad, 1, 2) + Drawn(80, 40, bad, 2) + Drawn(80, 40, 1, bad),
        "");
  }
  EXPECT_TRUE(harness_.LogLines().empty());
  // Every test is made: text fails even where another value already rules the table out.
  EXPECT_EQ(Drawn(0, 40, 1, "two"), "");
  // A count below 0.5 passes the tests but rounds to 0 in the tooltip's division.
  EXPECT_EQ(Drawn(80, 40, 1, 0.3), "");
  EXPECT_EQ(harness_.LogLines(),
            (std::vector<std::string>{"\\Sheetora_Web\\PinBan, DrawTab: Type mismatch",
                                      "\\Sheetora_Web\\PinBan, DrawTab: Division by zero"}));
}

// The eight candidates of the most-ups arrangement on the usual sheet: ups / non-empty blocks.
TEST(LayoutSearch, MostUpsCandidatesOfTheUsualSheet) {
  const auto candidates = [](double PL, double PW) {
    const double L = 1092, W = 787;
    const LayoutSizes orientations[] = {
        {L, W, PL, PW}, {L, W, PW, PL}, {W, L, PL, PW}, {W, L, PW, PL}};
    std::string text;
    for (const LayoutSizes& s : orientations) {
      const TwoBlockResult r = SearchTwoBlocks(s, 1.0);
      text += Value(r.KNum).Text() + "/" + Value(r.okPiece).Text() + " ";
    }
    for (const LayoutSizes& s : orientations) {
      const FourBlockResult r = SearchFourBlocks(s, 1.0);
      text += Value(r.KNum).Text() + "/" + Value(r.okPiece).Text() + " ";
    }
    return text;
  };
  EXPECT_EQ(candidates(210, 140), "27/2 27/2 24/2 25/1 27/4 27/4 27/3 27/3 ");
  EXPECT_EQ(candidates(140, 100), "55/2 55/2 54/2 54/2 58/3 58/3 58/4 58/4 ");
  EXPECT_EQ(candidates(260, 185), "16/1 15/1 17/2 17/2 17/2 17/2 17/2 16/3 ");
  const FourBlockResult k1 = SearchFourBlocks({1092, 787, 140, 100}, 1.0);
  EXPECT_EQ(Value(k1.okax).Text() + " " + Value(k1.okay).Text(), "980 500");
}

}  // namespace
}  // namespace sheetora
