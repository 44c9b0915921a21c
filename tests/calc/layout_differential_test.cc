// The fast layout searches against the literal loops: every output, every error, on random and
// adversarial sizes. SHEETORA_DIFFERENTIAL_CASES sets the number of random cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "calc/layout_search.h"
#include "calc/linear_floor.h"

namespace sheetora {
namespace {

long CaseCount(long fallback) {
  const char* text = std::getenv("SHEETORA_DIFFERENTIAL_CASES");
  return text != nullptr ? std::atol(text) : fallback;
}

// Everything a result holds, as one comparable record.
struct Outcome {
  std::vector<double> values;
  int written;
  int error;
  bool operator==(const Outcome&) const = default;
};

Outcome OutcomeOf(const FourBlockResult& r) {
  return {{r.KNum,    r.okPiece,   r.okax,      r.okay,      r.LT.TabCol, r.LT.TabRow, r.LT.TabW,
           r.LT.TabH, r.LB.TabCol, r.LB.TabRow, r.LB.TabW,   r.LB.TabH,   r.RT.TabCol, r.RT.TabRow,
           r.RT.TabW, r.RT.TabH,   r.RB.TabCol, r.RB.TabRow, r.RB.TabW,   r.RB.TabH},
          r.written,
          r.error ? r.error->number() : 0};
}

Outcome OutcomeOf(const TwoBlockResult& r) {
  return {{r.KNum, r.Top.TabRow, r.Top.TabCol, r.Top.TabW, r.Top.TabH, r.Bot.TabRow, r.Bot.TabCol,
           r.Bot.TabW, r.Bot.TabH, r.okPiece},
          r.written,
          r.error ? r.error->number() : 0};
}

std::string Describe(const LayoutSizes& s, const LayoutScale& scale) {
  std::ostringstream out;
  out.precision(17);
  out << "sheet " << s.PaperL << " x " << s.PaperW << ", piece " << s.PL << " x " << s.PW
      << ", scale " << (scale ? std::to_string(*scale) : "none");
  return out.str();
}

// Both searches on the sizes as given; false after the first difference.
bool BothSearchesAgree(const LayoutSizes& s, const LayoutScale& scale) {
  EXPECT_TRUE(FastSearchApplies(s, scale)) << Describe(s, scale);
  const Outcome four = OutcomeOf(SearchFourBlocksLiteral(s, scale));
  EXPECT_EQ(OutcomeOf(SearchFourBlocksFast(s, scale)), four)
      << "four blocks, " << Describe(s, scale);
  const Outcome two = OutcomeOf(SearchTwoBlocksLiteral(s, scale));
  EXPECT_EQ(OutcomeOf(SearchTwoBlocksFast(s, scale)), two) << "two blocks, " << Describe(s, scale);
  return !::testing::Test::HasFailure();
}

// The orientations the most-ups arrangement tries: the sheet as given and turned, the piece as
// given and turned.
bool AllOrientationsAgree(double L, double W, double PL, double PW, const LayoutScale& scale) {
  return BothSearchesAgree({L, W, PL, PW}, scale) && BothSearchesAgree({L, W, PW, PL}, scale) &&
         BothSearchesAgree({W, L, PL, PW}, scale) && BothSearchesAgree({W, L, PW, PL}, scale);
}

TEST(LayoutDifferential, RandomSizes) {
  std::mt19937_64 rng(20240611);
  const auto uniform = [&](long lo, long hi) {
    return static_cast<double>(std::uniform_int_distribution<long>(lo, hi)(rng));
  };
  const long cases = CaseCount(100000);
  for (long n = 0; n < cases; ++n) {
    // Small pieces on small sheets, larger ones (up to beyond the sheet) on larger sheets: the
    // literal loops take about (PaperL / PL) * (PaperW / PW) * (PaperW / PL) steps.
    const double sheet = n % 3 == 0 ? 30 : n % 3 == 1 ? 60 : 150;
    const double piece = n % 3 == 0 ? 6 : n % 3 == 1 ? 25 : 160;
    const LayoutSizes s{uniform(1, sheet), uniform(1, sheet), uniform(1, piece), uniform(1, piece)};
    const LayoutScale scale = n % 50 == 0 ? LayoutScale() : n % 7 == 0 ? 0.0 : 400 / s.PaperL * 1.2;
    ASSERT_TRUE(BothSearchesAgree(s, scale));
  }
}

TEST(LayoutDifferential, AdversarialFamilies) {
  const LayoutScale scale = 400.0 / 1092;
  const double sheets[][2] = {{100, 70}, {97, 89}, {120, 120}, {64, 48}, {60, 7},
                              {7, 60},   {1, 1},   {2, 1},     {1, 2},   {36, 24}};
  for (const auto& [L, W] : sheets) {
    // Thin pieces, pieces wider than the sheet, squares, coprime and equal sides.
    const double pieces[][2] = {{1000, 1}, {1, 1000}, {L + 1, 1}, {1, W + 1},    {W, W},
                                {13, 13},  {17, 13},  {2, 1},     {3, 2},        {L, W},
                                {W, L},    {L, 1},    {1, W},     {L / 2, W / 3}};
    for (const auto& [PL, PW] : pieces) {
      if (PL < 1 || PW < 1 || PL != std::floor(PL) || PW != std::floor(PW)) continue;
      ASSERT_TRUE(AllOrientationsAgree(L, W, PL, PW, scale)) << L << " " << W;
    }
    // Pieces dividing the sheet exactly.
    for (double parts = 1; parts <= 12; ++parts) {
      const double PL = std::max(1.0, std::floor(L / parts));
      const double PW = std::max(1.0, std::floor(W / parts));
      ASSERT_TRUE(AllOrientationsAgree(L, W, PL, PW, scale));
    }
  }
  // The sheet of the examples with its usual pieces.
  for (const auto& [PL, PW] : {std::pair{210.0, 140.0}, {140.0, 100.0}, {260.0, 185.0}}) {
    ASSERT_TRUE(AllOrientationsAgree(1092, 787, PL, PW, scale));
  }
}

// Sizes beyond the 32-bit range: the whole-number divisions overflow at the first step, at the
// first layout (after part of its outputs), or at the first column width past the range.
TEST(LayoutDifferential, OverflowAtEveryPlace) {
  const double big = 2147483648.0;  // 2^31
  const LayoutSizes cases[] = {
      {3e9, 100, 150, 1},                   // no splits: the first layout fails at its right column
      {1e300, 100, 150, 1},                 // likewise, for any length
      {big + 100, 1.5e9, 1073741824, 7e8},  // the second width leaves the range
      {big + 5, 1.2e9, 1073741823, 1e9},    // likewise, where the splits run
      {5e9, 5e9, 1, 1},                     // at once
      {100, big + 10, 1, 2e8},              // at once: the split loop's first lower block
      {big - 1, big + 3, 1073741824, 3e8},  // at once: the largest split
      {big + 10, 100, 3e9, 50},             // no column fits; the bands fail at once
      {100, 3e9, 50, big},                  // at once: the piece's width
  };
  for (const LayoutSizes& s : cases) {
    ASSERT_TRUE(BothSearchesAgree(s, 0.25));
    ASSERT_TRUE(BothSearchesAgree(s, LayoutScale()));
  }
  EXPECT_EQ(SearchFourBlocksFast(cases[0], 1.0).written, 11);
  EXPECT_EQ(SearchFourBlocksFast(cases[2], 1.0).written, FourBlockResult::kOutputs);
  EXPECT_EQ(SearchFourBlocksFast(cases[2], 1.0).error->description(), "Overflow");
}

// Scales from the tiniest to the largest whose drawn sheet stays finite: the counts are the same,
// only the drawn sizes differ, and the fast searches must serve them all.
TEST(LayoutDifferential, ExtremeScales) {
  std::mt19937_64 rng(31);
  const auto uniform = [&](long lo, long hi) {
    return static_cast<double>(std::uniform_int_distribution<long>(lo, hi)(rng));
  };
  for (int n = 0; n < 400; ++n) {
    const LayoutSizes s{uniform(1, 80), uniform(1, 80), uniform(1, 20), uniform(1, 20)};
    const double longest = std::max(s.PaperL, s.PaperW);
    double edge = std::numeric_limits<double>::max() / longest;
    while (!std::isfinite(edge * longest)) edge = std::nextafter(edge, 0.0);
    for (const double scale : {1e-300, 4e-320, 1e300, edge, std::nextafter(edge, 0.0), -edge}) {
      ASSERT_TRUE(BothSearchesAgree(s, scale));
    }
  }
}

// What the imposition page can pass the searches: whole sizes from 1 to 2^31 - 1, the piece
// inside the sheet, the scale 400 / PaperL * zoom for any zoom with which the drawn sheet stays
// inside the number range (the page fails on a larger one before searching), in each of the
// four orientations the most-ups arrangement tries. None may fall to the literal loops.
TEST(LayoutDispatch, EveryPageInputTakesTheFastSearch) {
  std::mt19937_64 rng(5);
  const auto size = [&] {
    // Log-uniform, so that small and huge sizes are equally likely.
    const double bits = std::uniform_real_distribution<double>(0, 31)(rng);
    return std::clamp(std::floor(std::exp2(bits)), 1.0, 2147483647.0);
  };
  for (int n = 0; n < 200000; ++n) {
    double L = size(), W = size(), PL = size(), PW = size();
    if (L < W) std::swap(L, W);
    if (PL < PW) std::swap(PL, PW);
    PL = std::min(PL, L);
    PW = std::min(PW, W);
    const double zoom = std::pow(10.0, std::uniform_real_distribution<double>(-300, 308)(rng));
    const double scale = 400 / L * zoom;
    if (!std::isfinite(scale * L)) continue;
    for (const LayoutSizes& s : {LayoutSizes{L, W, PL, PW}, LayoutSizes{L, W, PW, PL},
                                 LayoutSizes{W, L, PL, PW}, LayoutSizes{W, L, PW, PL}}) {
      ASSERT_TRUE(FastSearchApplies(s, scale)) << Describe(s, scale);
    }
  }
}

// Band totals beyond 2^53, where the page's double sums round and the first rounded maximum can
// lie elsewhere than the first exact one.
TEST(LayoutDifferential, TwoBlocksWhereSumsRound) {
  std::mt19937_64 rng(7);
  const auto uniform = [&](long lo, long hi) {
    return static_cast<double>(std::uniform_int_distribution<long>(lo, hi)(rng));
  };
  const long cases = std::max(4L, CaseCount(100000) / 25000);
  for (long n = 0; n < cases; ++n) {
    // Lengths divisible by every small side make the band totals flat in the height.
    const double L =
        n % 2 == 0 ? uniform(1500000000, 2147483647) : 12 * uniform(125000000, 178956970);
    const LayoutSizes s{L, uniform(15000000, 20000000), uniform(1, 4), uniform(1, 4)};
    const Outcome literal = OutcomeOf(SearchTwoBlocksLiteral(s, 1.0));
    ASSERT_EQ(OutcomeOf(SearchTwoBlocksFast(s, 1.0)), literal) << Describe(s, 1.0);
  }
}

TEST(LinearFloorMax, MatchesExhaustiveSearch) {
  std::mt19937_64 rng(99);
  const auto below = [&](long n) { return std::uniform_int_distribution<long>(0, n - 1)(rng); };
  for (long n = 0; n < 200000; ++n) {
    const long t = 1 + below(n % 2 ? 60 : 3000000), s = 1 + below(n % 3 ? 60 : 3000000);
    const long count = below(200), c0 = s * count + below(3 * t + 5);
    const long alpha = below(n % 5 ? 100 : 3000000), beta = below(n % 7 ? 100 : 3000000);
    Int128 best = -1;
    long best_x = -1;
    for (long x = 0; x <= count; ++x) {
      const Int128 v = Int128{alpha} * x + Int128{beta} * ((c0 - s * x) / t);
      if (v > best) best = v, best_x = x;
    }
    const LinearFloorMax got = MaxLinearFloor(alpha, beta, c0, s, t, count);
    ASSERT_TRUE(got.value == best && got.x == best_x)
        << alpha << " " << beta << " " << c0 << " " << s << " " << t << " " << count;
  }
}

}  // namespace
}  // namespace sheetora
