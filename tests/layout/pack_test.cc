// The plain packing problem: every answer checked for geometry, the searches against brute force
// and an integer programme, and the bounds against exhaustive search.
#include "layout/pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "calc/layout_search.h"
#include "layout/bounds.h"
#include "layout/corner_search.h"
#include "layout/lp_bound.h"
#include "layout/raster.h"

namespace sheetora::layout {
namespace {

using std::int64_t;

struct Rect {
  int64_t x0, y0, x1, y1;
};

bool Overlap(const Rect& p, const Rect& q) {
  return p.x0 < q.x1 && q.x0 < p.x1 && p.y0 < q.y1 && q.y0 < p.y1;
}

// Whether straight edge-to-edge cuts take the rectangles apart.
bool Separable(const std::vector<Rect>& rects) {
  if (rects.size() <= 1) return true;
  for (const bool along_x : {true, false}) {
    for (const Rect& r : rects) {
      const int64_t at = along_x ? r.x1 : r.y1;
      std::vector<Rect> low, high;
      bool crossed = false;
      for (const Rect& q : rects) {
        const int64_t lo = along_x ? q.x0 : q.y0, hi = along_x ? q.x1 : q.y1;
        crossed = crossed || (lo < at && at < hi);
        (hi <= at ? low : high).push_back(q);
      }
      if (!crossed && !high.empty()) return Separable(low) && Separable(high);
    }
  }
  return false;
}

// What every answer must hold: blocks inside the sheet, apart, in an allowed orientation, adding
// up to ups, under the bound; guillotine-separable in guillotine mode.
void ExpectValid(const PackProblem& p, const PackResult& r) {
  std::vector<Rect> rects;
  int64_t ups = 0;
  for (const Block& block : r.blocks) {
    ASSERT_GT(block.columns, 0);
    ASSERT_GT(block.rows, 0);
    EXPECT_FALSE(block.turned && p.orientation == Orientation::kUpright);
    EXPECT_FALSE(!block.turned && p.orientation == Orientation::kTurned);
    const int64_t px = block.turned ? p.b : p.a, py = block.turned ? p.a : p.b;
    const Rect rect{block.x, block.y, block.x + block.columns * px, block.y + block.rows * py};
    EXPECT_TRUE(rect.x0 >= 0 && rect.y0 >= 0 && rect.x1 <= p.X && rect.y1 <= p.Y);
    for (const Rect& other : rects) EXPECT_FALSE(Overlap(rect, other));
    rects.push_back(rect);
    ups += block.columns * block.rows;
  }
  EXPECT_EQ(ups, r.ups);
  EXPECT_LE(r.ups, r.bound);
  if (p.cut == CutMode::kGuillotine) {
    EXPECT_TRUE(Separable(rects));
  }
}

PackResult CheckedPack(const PackProblem& p) {
  PackResult r = Pack(p);
  ExpectValid(p, r);
  return r;
}

// The best guillotine layout by every whole cut position, not only raster points.
int64_t BruteGuillotine(int X, int Y, int a, int b) {
  std::vector<int64_t> best(static_cast<std::size_t>(X + 1) * static_cast<std::size_t>(Y + 1));
  for (int x = 1; x <= X; ++x) {
    for (int y = 1; y <= Y; ++y) {
      int64_t v = std::max(Grid(x, y, a, b), Grid(x, y, b, a));
      for (int c = 1; c < x; ++c)
        v = std::max(v, best[c * (Y + 1) + y] + best[(x - c) * (Y + 1) + y]);
      for (int c = 1; c < y; ++c)
        v = std::max(v, best[x * (Y + 1) + c] + best[x * (Y + 1) + y - c]);
      best[x * (Y + 1) + y] = v;
    }
  }
  return best.back();
}

// The best layout of any kind with pieces at whole positions: the first open cell gets a piece's
// corner either way round, or stays empty; a branch stops when the open area cannot beat the best.
int64_t BruteAny(int X, int Y, int a, int b) {
  std::vector<bool> taken(static_cast<std::size_t>(X) * static_cast<std::size_t>(Y));
  int64_t best = 0;
  const std::function<void(int, int64_t, int)> fill = [&](int cell, int64_t placed, int open) {
    if (placed + open / (a * b) <= best) return;
    while (cell < X * Y && taken[cell]) ++cell;
    if (cell == X * Y) {
      best = std::max(best, placed);
      return;
    }
    const int x = cell % X, y = cell / X;
    for (const auto& [w, h] : {std::pair{a, b}, std::pair{b, a}}) {
      if (x + w > X || y + h > Y) continue;
      bool fits = true;
      for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) fits = fits && !taken[j * X + i];
      if (!fits) continue;
      for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) taken[j * X + i] = true;
      fill(cell + 1, placed + 1, open - a * b);
      for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) taken[j * X + i] = false;
    }
    taken[cell] = true;
    fill(cell + 1, placed, open - 1);
    taken[cell] = false;
  };
  fill(0, 0, X * Y);
  return best;
}

// The linear programme's bound on a whole sheet, as the die-cut search asks for it.
std::optional<int64_t> LpBound(int64_t X, int64_t Y, int64_t a, int64_t b) {
  const auto xs = RasterAxis::Build(LargestRasterPoint(X, a, b), a, b, 1 << 20);
  const auto ys = RasterAxis::Build(LargestRasterPoint(Y, a, b), a, b, 1 << 20);
  return RasterLpBound(*xs, *ys, a, b, 1'000'000, {}).bound;
}

TEST(Pack, MatchesBruteForceOnSmallSheets) {
  std::mt19937 random(12);
  for (int n = 0; n < 1000; ++n) {
    const int X = 1 + static_cast<int>(random() % 16), Y = 1 + static_cast<int>(random() % 12);
    const int a = 1 + static_cast<int>(random() % 6), b = 1 + static_cast<int>(random() % 6);
    if (X * Y > 12 * a * b) continue;
    SCOPED_TRACE(testing::Message() << X << " x " << Y << " with " << a << " x " << b);
    const int64_t guillotine = BruteGuillotine(X, Y, a, b), any = BruteAny(X, Y, a, b);
    EXPECT_GE(BarnesBound(X, Y, a, b), any);
    EXPECT_GE(LpBound(X, Y, a, b).value_or(any), any);
    // In micrometres with a sheet a little over whole millimetres: the same answers.
    const int64_t unit = n % 2 == 0 ? 1 : 1000;
    PackProblem p{.X = X * unit + unit / 3, .Y = Y * unit + unit / 2, .a = a * unit, .b = b * unit};
    PackResult r = CheckedPack(p);
    EXPECT_EQ(r.ups, guillotine);
    EXPECT_TRUE(r.best_guillotine);
    EXPECT_GE(r.bound, any);
    p.cut = CutMode::kDie;
    r = CheckedPack(p);
    EXPECT_EQ(r.ups, any);
    EXPECT_EQ(r.bound, any);  // the exhaustive search finishes on sheets this small
    p.orientation = Orientation::kTurned;
    r = CheckedPack(p);
    EXPECT_EQ(r.ups, Grid(X, Y, b, a));
    EXPECT_EQ(r.bound, r.ups);
  }
}

struct Known {
  int64_t X, Y, a, b;
  CutMode cut;
  int64_t ups;
};

TEST(Pack, KnownInstances) {
  constexpr int64_t mm = 1000;
  for (const Known& k : {
           Known{1092 * mm, 787 * mm, 210 * mm, 140 * mm, CutMode::kGuillotine, 27},
           Known{1020 * mm, 720 * mm, 210 * mm, 148 * mm, CutMode::kGuillotine, 21},
           Known{1020 * mm, 720 * mm, 210 * mm, 148 * mm, CutMode::kDie, 23},
           Known{49, 28, 8, 3, CutMode::kDie, 57},
       }) {
    SCOPED_TRACE(testing::Message() << k.X << " x " << k.Y << " with " << k.a << " x " << k.b);
    const PackResult r = CheckedPack({.X = k.X, .Y = k.Y, .a = k.a, .b = k.b, .cut = k.cut});
    EXPECT_EQ(r.ups, k.ups);
  }
}

// Print jobs whose closed-form bounds stay a piece above the best layout, proven by the linear
// programme: a press sheet less 10 mm gripper and 5 mm elsewhere, the piece with 3 mm bleed and
// the gutter, the gutter added to the sheet.
TEST(Pack, LinearProgrammeProvesWhatTheSearchesCannot) {
  constexpr int64_t mm = 1000;
  for (const auto& [L, W, gutter, ups] :
       {std::array<int64_t, 4>{1092, 787, 0, 46}, std::array<int64_t, 4>{720, 1020, 0, 40},
        std::array<int64_t, 4>{720, 1020, 2, 38}}) {
    SCOPED_TRACE(testing::Message() << L << " x " << W << " gutter " << gutter);
    const PackProblem p{.X = (L - 10 + gutter) * mm,
                        .Y = (W - 15 + gutter) * mm,
                        .a = (105 + 6 + gutter) * mm,
                        .b = (148 + 6 + gutter) * mm,
                        .cut = CutMode::kDie};
    const PackResult r = CheckedPack(p);
    EXPECT_EQ(r.ups, ups);
    EXPECT_EQ(r.bound, ups);
    EXPECT_EQ(LpBound(p.X / mm, p.Y / mm, p.a / mm, p.b / mm), ups);  // the proof is its own
  }
}

// Never fewer pieces than the classic page's two-block and four-block searches, on any sheet.
TEST(Pack, NeverBelowTheClassicFamilies) {
  std::mt19937 random(5);
  std::vector<LayoutSizes> cases{{1092, 787, 2, 1}, {100000, 100000, 7, 5}, {787, 1092, 3, 2}};
  for (int n = 0; n < 200; ++n) {
    cases.push_back(
        {static_cast<double>(100 + random() % 1400), static_cast<double>(100 + random() % 1000),
         static_cast<double>(5 + random() % 300), static_cast<double>(5 + random() % 300)});
  }
  for (const LayoutSizes& s : cases) {
    SCOPED_TRACE(testing::Message()
                 << s.PaperL << " x " << s.PaperW << " with " << s.PL << " x " << s.PW);
    const PackProblem p{.X = static_cast<int64_t>(s.PaperL) * 1000,
                        .Y = static_cast<int64_t>(s.PaperW) * 1000,
                        .a = static_cast<int64_t>(s.PL) * 1000,
                        .b = static_cast<int64_t>(s.PW) * 1000,
                        .limits = {.deadline = Clock::now() + std::chrono::seconds(2)}};
    const PackResult r = CheckedPack(p);
    // The classic page tries the sheet and the piece either way round.
    for (const LayoutSizes& sizes : {s, LayoutSizes{s.PaperL, s.PaperW, s.PW, s.PL},
                                     LayoutSizes{s.PaperW, s.PaperL, s.PL, s.PW},
                                     LayoutSizes{s.PaperW, s.PaperL, s.PW, s.PL}}) {
      EXPECT_GE(r.ups, SearchFourBlocks(sizes, 1.0).KNum);
      EXPECT_GE(r.ups, SearchTwoBlocks(sizes, 1.0).KNum);
    }
  }
}

// Die cutting on print-sized sheets: a sound layout, never below the guillotine optimum.
TEST(Pack, DieCutLayoutsHoldTogether) {
  std::mt19937 random(7);
  for (int n = 0; n < 30; ++n) {
    PackProblem p{.X = static_cast<int64_t>(200 + random() % 600) * 1000,
                  .Y = static_cast<int64_t>(200 + random() % 600) * 1000,
                  .a = static_cast<int64_t>(30 + random() % 170) * 1000,
                  .b = static_cast<int64_t>(30 + random() % 170) * 1000,
                  .limits = {.deadline = Clock::now() + std::chrono::milliseconds(50)}};
    SCOPED_TRACE(testing::Message() << p.X << " x " << p.Y << " with " << p.a << " x " << p.b);
    const int64_t guillotine = CheckedPack(p).ups;
    p.cut = CutMode::kDie;
    EXPECT_GE(CheckedPack(p).ups, guillotine);
  }
}

// A stop request ends the searches as the time limit would: a sound layout, at least the grid,
// that says it was cut short. Without it the hard sheet's exact programme and the huge sheet's
// band search would each run for most of a second.
TEST(Pack, AStopRequestCutsTheSearchesShort) {
  const PackProblem hard{.X = 997, .Y = 991, .a = 13, .b = 11};
  const PackProblem huge{.X = 100'000'000, .Y = 100'000'000, .a = 2999, .b = 2001};
  std::stop_source stop;
  stop.request_stop();
  for (PackProblem p : {hard, huge}) {
    for (const CutMode cut : {CutMode::kGuillotine, CutMode::kDie}) {
      p.cut = cut;
      p.limits.stop = stop.get_token();
      const PackResult r = CheckedPack(p);
      EXPECT_GE(r.ups, std::max(Grid(p.X, p.Y, p.a, p.b), Grid(p.X, p.Y, p.b, p.a)));
      EXPECT_FALSE(r.best_guillotine);
      EXPECT_FALSE(r.complete);
    }
  }
}

// A budget ends a search after exactly its steps, which is no cutting short; the limits do cut
// it short, checked every few steps.
TEST(Pack, BudgetsCountStepsAndLimitsCutShort) {
  Deadline budget({}, 1000);
  int steps = 0;
  while (!budget.Expired(10)) ++steps;
  EXPECT_EQ(steps, 100);
  EXPECT_FALSE(budget.cut_short());
  Deadline late({.deadline = Clock::now()}, 1'000'000);
  while (!late.Expired()) {
  }
  EXPECT_TRUE(late.cut_short());
}

// The corner search claims to have searched everything only when it has: its claim sets the
// bound, so a false one would call a layout optimal that is not.
TEST(Pack, TheCornerSearchClaimsCompletionOnlyWhenItEnded) {
  const auto xs = RasterAxis::Build(49, 8, 3, 1 << 20), ys = RasterAxis::Build(28, 8, 3, 1 << 20);
  CornerSearch search(*xs, *ys, 8, 3);
  Deadline short_budget({}, 50);
  const CornerSearch::Outcome stopped = search.Run(56, 57, short_budget);
  EXPECT_FALSE(stopped.complete);
  EXPECT_FALSE(short_budget.cut_short());
  Deadline full_budget({}, 4'000'000);
  const CornerSearch::Outcome found = search.Run(56, 57, full_budget);
  EXPECT_TRUE(found.complete);
  std::int64_t ups = 0;
  for (const Block& block : found.blocks) ups += block.columns * block.rows;
  EXPECT_EQ(ups, 57);
}

// Tiny pieces on huge sheets reach their bound at once, without overflow.
TEST(Pack, HugeCountsReachTheBound) {
  for (const PackProblem& p :
       {PackProblem{.X = 100'000'000, .Y = 100'000'000, .a = 3, .b = 2},
        PackProblem{.X = 100'000'000, .Y = 100'000'000, .a = 7000, .b = 5000},
        PackProblem{.X = 1092000, .Y = 787000, .a = 3000, .b = 2000}}) {
    const PackResult r = CheckedPack(p);
    EXPECT_EQ(r.ups, r.bound);
    EXPECT_EQ(r.bound, static_cast<int64_t>(static_cast<__int128>(p.X) * p.Y /
                                            (static_cast<__int128>(p.a) * p.b)));
  }
}

// Die cutting and the bounds against an integer programme solved by CBC (which the test command
// installs), on instances too large for brute force: one binary per raster position and
// orientation, and at most one piece over each raster point, which is exact because two pieces at
// raster points overlap exactly when both cover the corner of their intersection.
std::vector<int> Raster(int limit, int a, int b) {
  std::set<int> points;
  for (int i = 0; i * a <= limit; ++i)
    for (int j = 0; i * a + j * b <= limit; ++j) points.insert(i * a + j * b);
  return {points.begin(), points.end()};
}

// The proven optimum, or nothing when CBC did not prove one well inside its time limit.
std::optional<int> Optimum(int X, int Y, int a, int b) {
  const std::vector<int> xs = Raster(X, a, b), ys = Raster(Y, a, b);
  struct Placement {
    int x, y, w, h;
  };
  std::vector<Placement> placements;
  for (const int x : xs)
    for (const int y : ys)
      for (const auto& [w, h] : {std::pair{a, b}, std::pair{b, a}})
        if (x + w <= X && y + h <= Y) placements.push_back({x, y, w, h});
  const auto dir = std::filesystem::temp_directory_path() /
                   ("sheetora-oracle-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream lp(dir / "p.lp");
    lp << "Maximize\n obj:";
    for (std::size_t n = 0; n < placements.size(); ++n) lp << " + x" << n;
    lp << "\nSubject To\n";
    for (const int s : xs) {
      for (const int t : ys) {
        std::string row;
        for (std::size_t n = 0; n < placements.size(); ++n) {
          const Placement& p = placements[n];
          if (p.x <= s && s < p.x + p.w && p.y <= t && t < p.y + p.h)
            row += " + x" + std::to_string(n);
        }
        if (!row.empty()) lp << " c" << s << "_" << t << ":" << row << " <= 1\n";
      }
    }
    lp << "Binary\n";
    for (std::size_t n = 0; n < placements.size(); ++n) lp << " x" << n << "\n";
    lp << "End\n";
  }
  const std::string command =
      "cd " + dir.string() + " && cbc p.lp sec 10 solve solu s.txt > log.txt 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream solution(dir / "s.txt");
  std::string first;
  std::getline(solution, first);
  std::filesystem::remove_all(dir);
  // "Optimal - objective value 57.00000000"; a solve stopped by its limit says otherwise.
  const std::string optimal = "Optimal - objective value ";
  if (status != 0 || first.rfind(optimal, 0) != 0) return std::nullopt;
  return static_cast<int>(std::lround(std::stod(first.substr(optimal.size()))));
}

TEST(PackOracle, DieCutAndBoundsAgainstTheIntegerProgramme) {
  ASSERT_EQ(std::system("command -v cbc > /dev/null 2>&1"), 0)
      << "cbc (coinor-cbc) is not installed: scripts/install-deps.sh --test installs it";
  std::vector<std::array<int, 4>> cases{{49, 28, 8, 3}, {43, 26, 7, 3}};
  std::mt19937 random(9);
  while (cases.size() < 10) {
    const int X = 15 + static_cast<int>(random() % 40), Y = 15 + static_cast<int>(random() % 30);
    const int a = 3 + static_cast<int>(random() % 9), b = 3 + static_cast<int>(random() % 9);
    if (a != b && X * Y <= 40 * a * b && X * Y >= 13 * a * b) cases.push_back({X, Y, a, b});
  }
  for (const auto& [X, Y, a, b] : cases) {
    SCOPED_TRACE(testing::Message() << X << " x " << Y << " with " << a << " x " << b);
    const std::optional<int> optimum = Optimum(X, Y, a, b);
    ASSERT_TRUE(optimum.has_value()) << "cbc proved no optimum";
    PackProblem p{.X = X, .Y = Y, .a = a, .b = b};
    EXPECT_GE(CheckedPack(p).bound, *optimum);
    p.cut = CutMode::kDie;
    const PackResult r = CheckedPack(p);
    EXPECT_EQ(r.ups, *optimum);  // up to about 40 pieces the searches find the optimum
    EXPECT_GE(r.bound, *optimum);
    EXPECT_GE(LpBound(X, Y, a, b).value_or(*optimum), *optimum);
  }
}

}  // namespace
}  // namespace sheetora::layout
