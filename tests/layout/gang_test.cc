// The gang planner: its pricing against brute force, its plans against the brute-force optimum
// of small requests and the geometry check, its bound against every plan, and its refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <tuple>

#include "layout/gang/exact_fit.h"
#include "layout/gang/gang_api.h"
#include "layout/gang/gang_json.h"
#include "layout/gang/master.h"
#include "layout/gang/model.h"
#include "layout/gang/packer.h"
#include "layout/gang/pricing.h"
#include "layout/gang/single.h"
#include "layout/gang/strip_programme.h"
#include "layout/gang/two_runs.h"
#include "layout/plan.h"
#include "tests/layout/answer_check.h"

namespace sheetora::layout::gang {
namespace {

using Counts = std::vector<std::int64_t>;

constexpr Micrometres kMm = kMicrometresPerMm;

std::string Named(std::string prefix, int i) { return prefix.append(std::to_string(i)); }

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
  }

 private:
  std::mt19937_64 engine_;
};

/// A small request in whole millimetres without bleed, gutter or margins, so that brute force
/// over every millimetre is exact.
GangRequest SmallRequest(Random& random, int items, std::int64_t most_quantity) {
  GangRequest r{.sheet = {random.Between(6, 16) * kMm, random.Between(6, 16) * kMm},
                .max_layouts = kMaxLayouts,
                .time_limit_ms = kMaxGangTimeLimitMs};
  for (int i = 0; i < items; ++i) {
    const Grain grains[] = {Grain::kAny, Grain::kAny, Grain::kLength, Grain::kWidth};
    r.items.push_back({.id = Named("j", i),
                       .piece = {random.Between(2, 7) * kMm, random.Between(2, 7) * kMm},
                       .quantity = random.Between(1, most_quantity),
                       .grain = grains[random.Between(0, 3)]});
  }
  return r;
}

/// Every count vector of a guillotine layout in a w x h rectangle (in mm), kept to those no
/// other vector dominates: the rectangle holds one piece, or is cut in two at any millimetre.
class BruteForce {
 public:
  explicit BruteForce(const GangRequest& r) : items_(r.items.size()) {
    for (std::size_t i = 0; i < r.items.size(); ++i) {
      const GangItem& item = r.items[i];
      const std::int64_t l = item.piece.length / kMm, w = item.piece.width / kMm;
      if (item.grain != Grain::kWidth) shapes_.emplace_back(static_cast<int>(i), l, w);
      if (item.grain != Grain::kLength) shapes_.emplace_back(static_cast<int>(i), w, l);
    }
  }

  const std::set<Counts>& Patterns(std::int64_t w, std::int64_t h) {
    const auto key = std::pair(w, h);
    if (auto found = memo_.find(key); found != memo_.end()) return found->second;
    std::set<Counts> all{Counts(items_, 0)};
    for (const auto& [item, x, y] : shapes_) {
      if (x <= w && y <= h) {
        Counts one(items_, 0);
        one[item] = 1;
        all.insert(one);
      }
    }
    const auto combine = [&](const std::set<Counts>& a, const std::set<Counts>& b) {
      for (const Counts& u : a) {
        for (const Counts& v : b) {
          Counts sum(items_);
          for (std::size_t i = 0; i < items_; ++i) sum[i] = u[i] + v[i];
          all.insert(sum);
        }
      }
    };
    for (std::int64_t c = 1; c < w; ++c) combine(Patterns(c, h), Patterns(w - c, h));
    for (std::int64_t c = 1; c < h; ++c) combine(Patterns(w, c), Patterns(w, h - c));
    return memo_[key] = Maximal(all);
  }

 private:
  static std::set<Counts> Maximal(const std::set<Counts>& all) {
    std::set<Counts> kept;
    for (const Counts& u : all) {
      const bool dominated = std::any_of(all.begin(), all.end(), [&](const Counts& v) {
        if (v == u) return false;
        for (std::size_t i = 0; i < u.size(); ++i) {
          if (v[i] < u[i]) return false;
        }
        return true;
      });
      if (!dominated) kept.insert(u);
    }
    return kept;
  }

  std::size_t items_;
  std::vector<std::tuple<int, std::int64_t, std::int64_t>> shapes_;
  std::map<std::pair<std::int64_t, std::int64_t>, std::set<Counts>> memo_;
};

/// The fewest sheets that meet every quantity with the patterns, by dynamic programming over the
/// quantities still to make.
std::int64_t FewestSheets(const std::set<Counts>& patterns, const Counts& quantity) {
  std::map<Counts, std::int64_t> memo;
  const auto solve = [&](const auto& self, const Counts& left) -> std::int64_t {
    if (std::all_of(left.begin(), left.end(), [](std::int64_t q) { return q <= 0; })) return 0;
    if (auto found = memo.find(left); found != memo.end()) return found->second;
    std::int64_t best = 1'000'000;
    for (const Counts& p : patterns) {
      Counts next(left.size());
      bool helps = false;
      for (std::size_t i = 0; i < left.size(); ++i) {
        next[i] = std::max<std::int64_t>(0, left[i] - p[i]);
        helps = helps || next[i] < left[i];
      }
      if (helps) best = std::min(best, 1 + self(self, next));
    }
    return memo[left] = best;
  };
  return solve(solve, quantity);
}

TEST(GangPricingTest, GuillotineKnapsackFindsTheBruteForceOptimum) {
  Random random(7);
  for (int round = 0; round < 150; ++round) {
    const GangRequest request = SmallRequest(random, static_cast<int>(random.Between(1, 3)), 1);
    const Model model = Reduce(request);
    if (Validate(request)) continue;
    std::vector<double> values;
    for (std::size_t i = 0; i < request.items.size(); ++i) {
      values.push_back(static_cast<double>(random.Between(1, 100)) / 37);
    }
    auto knapsack = GuillotineKnapsack::Build(model, 1'000'000);
    ASSERT_TRUE(knapsack);
    Budget budget(1'000'000'000, {});
    const std::optional<Pattern> found = knapsack->Solve(values, budget);
    ASSERT_TRUE(found);
    EXPECT_TRUE(Fits(model, found->blocks));
    double best = 0;
    BruteForce brute(request);
    for (const Counts& p : brute.Patterns(request.sheet.length / kMm, request.sheet.width / kMm)) {
      double v = 0;
      for (std::size_t i = 0; i < p.size(); ++i) v += values[i] * static_cast<double>(p[i]);
      best = std::max(best, v);
    }
    EXPECT_NEAR(Value(*found, values), best, 1e-9) << "round " << round;
    // Cells cut down to whole multiples of a grain can only be worth more.
    const Model coarse = Coarsen(model, random.Between(1, 2) * kMm);
    auto upper = GuillotineKnapsack::Build(coarse, 1'000'000);
    ASSERT_TRUE(upper);
    const std::optional<Pattern> bound = upper->Solve(values, budget);
    ASSERT_TRUE(bound);
    EXPECT_GE(Value(*bound, values), best - 1e-9) << "round " << round;
  }
}

/// Trying every cut against brute force: a count vector fits exactly when some guillotine
/// layout holds it, and the layout given lies inside the sheet and holds it. Some requests
/// repeat an item, whose pieces the search takes as one kind.
TEST(GangPackerTest, ExactFitDecidesAsBruteForce) {
  Random random(17);
  int fits = 0, none = 0;
  for (int round = 0; round < 150; ++round) {
    GangRequest request = SmallRequest(random, static_cast<int>(random.Between(1, 3)), 1);
    if (round % 3 == 0) {
      request.items.push_back(request.items.front());
      request.items.back().id = "again";
    }
    if (Validate(request)) continue;
    const Model model = Reduce(request);
    Counts counts;
    for (std::size_t i = 0; i < request.items.size(); ++i) counts.push_back(random.Between(0, 4));
    BruteForce brute(request);
    const auto& patterns = brute.Patterns(request.sheet.length / kMm, request.sheet.width / kMm);
    const bool holds = std::any_of(patterns.begin(), patterns.end(), [&](const Counts& p) {
      for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] < counts[i]) return false;
      }
      return true;
    });
    Budget budget(1'000'000'000, {});
    const FitAnswer answer = ExactFit(model, counts, budget);
    ASSERT_NE(answer.fit, Fit::kUnknown) << "round " << round;
    EXPECT_EQ(answer.fit == Fit::kFits, holds) << "round " << round;
    if (answer.pattern) {
      EXPECT_TRUE(Fits(model, answer.pattern->blocks)) << "round " << round;
      for (std::size_t i = 0; i < counts.size(); ++i)
        EXPECT_GE(answer.pattern->count[i], counts[i]);
    }
    (holds ? fits : none) += 1;
  }
  EXPECT_GT(fits, 30);
  EXPECT_GT(none, 30);
}

/// The single-layout search at its most thorough against brute force over every guillotine
/// layout: the least run length, on requests small enough for every cut to be tried.
TEST(GangPlanTest, OneLayoutSearchFindsTheLeastRunLength) {
  Random random(31);
  int searched = 0;
  for (int round = 0; round < 80; ++round) {
    const GangRequest request = SmallRequest(random, static_cast<int>(random.Between(1, 3)), 30);
    if (Validate(request)) continue;
    const Model model = Reduce(request);
    BruteForce brute(request);
    std::int64_t least = std::numeric_limits<std::int64_t>::max();
    for (const Counts& p : brute.Patterns(request.sheet.length / kMm, request.sheet.width / kMm)) {
      std::int64_t runs = 1;
      for (std::size_t i = 0; i < p.size() && runs < least; ++i) {
        runs = p[i] == 0 ? least : std::max(runs, (model.quantity[i] + p[i] - 1) / p[i]);
      }
      least = std::min(least, runs);
    }
    if (least == std::numeric_limits<std::int64_t>::max()) continue;  // no one layout holds all
    std::vector<int> all(request.items.size());
    std::iota(all.begin(), all.end(), 0);
    Budget budget(1'000'000'000, {});
    const auto plan = SingleLayoutPlan(model, all, budget, Effort::kExhaustive);
    ASSERT_TRUE(plan) << "round " << round;
    EXPECT_EQ(plan->runs, least) << "round " << round;
    ++searched;
  }
  EXPECT_GT(searched, 60);
}

/// The run lengths where copies change, against every run length from the least to the most:
/// between two breaks every item's copies stay the same, and they change at each break.
TEST(GangPlanTest, RunBreaksAreWhereTheCopiesChange) {
  Random random(37);
  for (int round = 0; round < 50; ++round) {
    Model model;
    const int items = static_cast<int>(random.Between(1, 5));
    for (int i = 0; i < items; ++i) model.quantity.push_back(random.Between(1, 3'000));
    std::vector<int> all(static_cast<std::size_t>(items));
    std::iota(all.begin(), all.end(), 0);
    const std::int64_t low = random.Between(1, 200), high = low + random.Between(0, 3'000);
    const std::vector<std::int64_t> breaks = RunBreaks(model, all, low, high);
    ASSERT_EQ(breaks.front(), low);
    ASSERT_EQ(breaks.back(), high);
    const auto copies = [&](std::int64_t runs) {
      Counts c;
      for (const std::int64_t q : model.quantity) c.push_back((q + runs - 1) / runs);
      return c;
    };
    for (std::int64_t runs = low + 1; runs < high; ++runs) {
      const bool listed = std::binary_search(breaks.begin(), breaks.end(), runs);
      EXPECT_EQ(listed, copies(runs) != copies(runs - 1)) << "round " << round << ", " << runs;
    }
  }
}

/// The packers on card-sized gangs at run lengths from the area bound up: what they return lies
/// inside the sheet without overlaps and holds the pieces asked; the strips fit counts that the
/// shelves and free rectangles do not, and the strip programme counts that none of them do.
TEST(GangPackerTest, PacksSoundlyAndStripsFitTighterCounts) {
  Random random(13);
  const std::pair<int, int> cards[] = {{90, 50}, {90, 55}, {100, 70}, {148, 105}, {210, 148}};
  int strips_only = 0, programme_only = 0;
  for (int round = 0; round < 30; ++round) {
    GangRequest r{.sheet = {720 * kMm, 510 * kMm}, .bleed = 3 * kMm, .max_layouts = 1};
    const int items = static_cast<int>(random.Between(3, 10));
    for (int i = 0; i < items; ++i) {
      const auto [l, w] = cards[random.Between(0, std::ssize(cards) - 1)];
      r.items.push_back({.id = std::to_string(i),
                         .piece = {l * kMm, w * kMm},
                         .quantity = random.Between(500, 20'000)});
    }
    const Model model = Reduce(r);
    std::vector<int> all(static_cast<std::size_t>(items));
    for (int i = 0; i < items; ++i) all[i] = i;
    const std::int64_t least = SingleRunBound(model, all);
    for (std::int64_t runs = least; runs <= least * 3 / 2;
         runs += std::max<std::int64_t>(1, least / 20)) {
      Counts counts;
      for (const std::int64_t q : model.quantity) counts.push_back((q + runs - 1) / runs);
      Budget budget(1'000'000'000, {});
      const std::optional<Pattern> plain = PackCounts(model, counts, budget);
      const std::optional<Pattern> found = PackCounts(model, counts, budget, kTightShuffles);
      if (plain) {
        EXPECT_EQ(found, plain);
      }
      const std::optional<Pattern> programme = PackStripProgramme(model, counts, budget);
      for (const auto& packed : {found, programme}) {
        if (!packed) continue;
        EXPECT_TRUE(Fits(model, packed->blocks)) << "round " << round << ", runs " << runs;
        for (int i = 0; i < items; ++i) EXPECT_GE(packed->count[i], counts[i]) << round;
      }
      strips_only += found && !plain ? 1 : 0;
      programme_only += programme && !found ? 1 : 0;
    }
  }
  EXPECT_GT(strips_only, 0);
  EXPECT_GT(programme_only, 0);
  // Counts that cover the usable area exactly still pack.
  const GangRequest full{.sheet = {100 * kMm, 100 * kMm},
                         .items = {{.id = "q", .piece = {50 * kMm, 50 * kMm}, .quantity = 1}}};
  Budget budget(1'000'000, {});
  EXPECT_TRUE(PackCounts(Reduce(full), {4}, budget).has_value());
}

/// Each item's best strips alone: the starting patterns of a relaxation.
std::vector<Pattern> EachAlone(const Model& model) {
  std::vector<Pattern> start;
  for (int i = 0; i < model.items(); ++i) {
    std::vector<double> only(static_cast<std::size_t>(model.items()), 0.0);
    only[i] = 1;
    Budget quick(1'000'000, {});
    start.push_back(StripKnapsack(model, only, quick));
  }
  return start;
}

/// Plans of small requests: sound by the geometry check, the bound never above the optimum that
/// brute force finds, and the plan at it nearly always.
TEST(GangPlanTest, SmallPlansAgainstTheBruteForceOptimum) {
  Random random(11);
  int planned = 0, at_optimum = 0;
  for (int round = 0; round < 200; ++round) {
    const GangRequest request = SmallRequest(random, static_cast<int>(random.Between(1, 3)), 6);
    if (Validate(request)) continue;
    const GangAnswer answer = Plan(request);
    const std::vector<std::string> faults = testing::CheckGangAnswer(request, answer);
    ASSERT_TRUE(faults.empty()) << "round " << round << ": " << faults.front();
    Counts quantity;
    for (const GangItem& item : request.items) quantity.push_back(item.quantity);
    BruteForce brute(request);
    const std::int64_t optimum = FewestSheets(
        brute.Patterns(request.sheet.length / kMm, request.sheet.width / kMm), quantity);
    EXPECT_LE(answer.bound, static_cast<double>(optimum)) << "round " << round;
    // Without the exact pricing the relaxation's bound rests on the area alone, and stays valid.
    const Model model = Reduce(request);
    const Costs costs{.max_layouts = kMaxLayouts};
    const std::vector<Pattern> start = EachAlone(model);
    Budget budget(10'000'000, {});
    const Relaxation relaxed = SolveRelaxation(model, costs, start, {}, budget);
    EXPECT_LE(RoundBound(relaxed.bound, costs), static_cast<double>(optimum)) << "round " << round;
    // Nor above the programme's optimum, which the exact pricing proves.
    auto exact = GuillotineKnapsack::Build(model, 1'000'000);
    Budget more(1'000'000'000, {});
    const Relaxation proven = SolveRelaxation(model, costs, start, {.exact = &*exact}, more);
    ASSERT_TRUE(proven.exact) << "round " << round;
    EXPECT_LE(relaxed.bound, proven.bound + 1e-6) << "round " << round;
    // And with the pricing that only bounds the best value (here over the same cells, so that
    // the bound comes near the programme's optimum, never above it).
    const Model coarse = Coarsen(model, kMm);
    auto upper = GuillotineKnapsack::Build(coarse, 1'000'000);
    Budget again(10'000'000, {});
    const Relaxation bounded = SolveRelaxation(model, costs, start, {.upper = &*upper}, again);
    EXPECT_LE(bounded.bound, proven.bound + 1e-6) << "round " << round;
    EXPECT_NEAR(proven.bound, proven.value, 1e-6) << "round " << round;
    EXPECT_GE(answer.cost, static_cast<double>(optimum)) << "round " << round;
    ++planned;
    at_optimum += answer.cost == static_cast<double>(optimum) ? 1 : 0;
  }
  EXPECT_GT(planned, 150);
  EXPECT_GE(at_optimum * 10, planned * 9) << at_optimum << " of " << planned << " at the optimum";
}

/// The exact pricing takes a small part of its worst case: given fewer steps than that one
/// pricing might take, the programme is still proven. Cut short anywhere, its bound stays at
/// most the optimum; cut short in the last pricing, it keeps what the ones before proved.
TEST(GangPlanTest, ExactPricingProvesWithinLessThanItsWorstCase) {
  GangRequest r{.sheet = {520 * kMm, 360 * kMm}, .bleed = 3 * kMm};
  for (const auto& [l, w, q] : {std::tuple(90, 55, 3000), {148, 210, 800}, {120, 120, 1000}}) {
    r.items.push_back({.id = Named("job ", l), .piece = {l * kMm, w * kMm}, .quantity = q});
  }
  const Model model = Reduce(r);
  const Costs costs{.max_layouts = kMaxLayouts};
  const std::vector<Pattern> start = EachAlone(model);
  auto exact = GuillotineKnapsack::Build(model, 1'000'000);
  ASSERT_TRUE(exact);
  Budget budget(exact->Cost(), {});
  const Relaxation proven = SolveRelaxation(model, costs, start, {.exact = &*exact}, budget);
  ASSERT_TRUE(proven.exact);
  Budget last(exact->Cost() - budget.left() - 1, {});
  EXPECT_GE(SolveRelaxation(model, costs, start, {.exact = &*exact}, last).bound,
            0.98 * proven.bound);
  for (std::int64_t steps = 1000; steps < exact->Cost(); steps *= 2) {
    Budget cut(steps, {});
    EXPECT_LE(SolveRelaxation(model, costs, start, {.exact = &*exact}, cut).bound,
              proven.bound + 1e-6)
        << steps << " steps";
  }
}

/// Die-cut rows of 70 or of two 40 across a 100 mm sheet: the area would hold a sixth more, but
/// no line across holds more than a row, and the bound without any pricing says so.
TEST(GangPlanTest, LinesAcrossBoundWhatSidesLeaveUnused) {
  GangRequest r{.sheet = {100 * kMm, 100 * kMm}, .cut = CutMode::kDie};
  for (const auto& [l, q] : {std::pair(70, 500), {40, 1000}}) {
    r.items.push_back({.id = Named("job ", l),
                       .piece = {l * kMm, 20 * kMm},
                       .quantity = q,
                       .grain = Grain::kLength});
  }
  const Model model = Reduce(r);
  const std::vector<Pattern> start = EachAlone(model);
  Budget budget(1'000'000, {});
  const Relaxation relaxation =
      SolveRelaxation(model, {.max_layouts = kMaxLayouts}, start, {}, budget);
  EXPECT_NEAR(relaxation.value, 200, 1e-6);
  EXPECT_NEAR(relaxation.bound, 200, 1e-6);
}

/// Seven jobs on a 720 x 520 sheet, each layout costing 25 sheets to set up. No plan prints
/// fewer sheets than the proven plan without setups, nor on one layout: the bound keeps those
/// sheets and two setups, and the layouts of the programme without setups make a plan within a
/// percent of it.
TEST(GangPlanTest, SetupsKeepTheSheetsTheProgrammeWithoutThemNeeds) {
  GangRequest r{
      .sheet = {720 * kMm, 520 * kMm},
      .margins = {.gripper = 10 * kMm, .tail = 5 * kMm, .left = 5 * kMm, .right = 5 * kMm},
      .bleed = 3 * kMm,
      .time_limit_ms = kMaxGangTimeLimitMs};
  for (const auto& [l, w, q] : {std::tuple(210, 99, 3750),
                                {120, 120, 2250},
                                {297, 420, 16'000},
                                {100, 70, 350},
                                {200, 200, 10'000},
                                {140, 140, 21'000},
                                {50, 50, 1500}}) {
    r.items.push_back({.id = Named("job ", l), .piece = {l * kMm, w * kMm}, .quantity = q});
  }
  const GangAnswer without = Plan(r);
  ASSERT_EQ(without.proof, Proof::kOptimal);
  r.setup_sheets = 25;
  const GangAnswer with = Plan(r);
  const std::vector<std::string> faults = testing::CheckGangAnswer(r, with);
  ASSERT_TRUE(faults.empty()) << faults.front();
  EXPECT_GE(with.bound, without.cost + 2 * 25);
  EXPECT_LE(with.cost, 1.01 * with.bound);
}

/// Two layouts for eight jobs, one of them A3 posters of which a sheet holds two. Whatever the
/// planner does, it prints no more than the split a clerk would make: the posters with the
/// jobs that fit beside them on one layout, the rest on the other, each a single-layout gang.
TEST(GangPlanTest, TwoLayoutsDoAtLeastAsWellAsFillingThePostersSheets) {
  GangRequest r{
      .sheet = {720 * kMm, 520 * kMm},
      .margins = {.gripper = 10 * kMm, .tail = 5 * kMm, .left = 5 * kMm, .right = 5 * kMm},
      .gutter = 2 * kMm,
      .max_layouts = 2,
      .time_limit_ms = kMaxGangTimeLimitMs};
  for (const auto& [l, w, q, grain] : {std::tuple(297, 420, 12'000, Grain::kLength),
                                       {90, 50, 35'000, Grain::kLength},
                                       {100, 70, 3750, Grain::kAny},
                                       {210, 297, 2750, Grain::kAny},
                                       {210, 99, 250, Grain::kAny},
                                       {148, 105, 4500, Grain::kAny},
                                       {140, 140, 26'000, Grain::kAny},
                                       {200, 200, 6000, Grain::kLength}}) {
    r.items.push_back({.id = Named("job ", static_cast<int>(r.items.size())),
                       .piece = {l * kMm, w * kMm},
                       .quantity = q,
                       .grain = grain});
  }
  const auto one_layout = [&](std::size_t from, std::size_t to) {
    GangRequest part = r;
    part.max_layouts = 1;
    part.items.assign(r.items.begin() + static_cast<std::ptrdiff_t>(from),
                      r.items.begin() + static_cast<std::ptrdiff_t>(to));
    return Plan(part).sheets;
  };
  const GangAnswer answer = Plan(r);
  const std::vector<std::string> faults = testing::CheckGangAnswer(r, answer);
  ASSERT_TRUE(faults.empty()) << faults.front();
  EXPECT_LE(answer.sheets, one_layout(0, 3) + one_layout(3, 8));
}

/// The least cost of a plan of at most `layouts` of the patterns (each count vector no other
/// dominates), a sheet per run and `per_layout` per layout, by trying every pair and run length.
double FewestWithLayouts(const std::set<Counts>& patterns, const Counts& quantity, int layouts,
                         double per_layout) {
  const std::vector<Counts> all(patterns.begin(), patterns.end());
  const std::int64_t most = *std::max_element(quantity.begin(), quantity.end());
  const auto meets = [&](const Counts& a, std::int64_t ra, const Counts& b, std::int64_t rb) {
    for (std::size_t i = 0; i < quantity.size(); ++i) {
      if (ra * a[i] + rb * b[i] < quantity[i]) return false;
    }
    return true;
  };
  double best = 1e18;
  for (std::size_t p = 0; p < all.size(); ++p) {
    for (std::size_t o = p; o < all.size(); ++o) {
      const bool pair = o != p && layouts >= 2;
      if (o != p && !pair) continue;
      for (std::int64_t ra = 1; ra <= most; ++ra) {
        for (std::int64_t rb = pair ? 1 : 0; rb <= (pair ? most : 0); ++rb) {
          if (meets(all[p], ra, all[o], rb)) {
            best = std::min(best, static_cast<double>(ra + rb) + (pair ? 2 : 1) * per_layout);
          }
        }
      }
    }
  }
  return best;
}

/// Plans limited to one or two layouts, with setups: the bound never above the least cost that
/// brute force finds over every such plan, and never a guillotine plan below it. Die-cut plans
/// may do better than guillotine ones, so their bound is held to the guillotine optimum only.
TEST(GangPlanTest, FewLayoutsBoundsAgainstTheBruteForceOptimum) {
  Random random(29);
  int planned = 0, proven = 0;
  for (int round = 0; round < 160; ++round) {
    GangRequest request = SmallRequest(random, static_cast<int>(random.Between(2, 4)), 12);
    request.max_layouts = static_cast<int>(random.Between(1, 2));
    request.setup_sheets = static_cast<double>(random.Between(0, 4));
    const bool die = round % 4 == 3;
    if (die) request.cut = CutMode::kDie;
    if (Validate(request)) continue;
    const GangAnswer answer = Plan(request);
    if (answer.layouts.empty()) continue;
    Counts quantity;
    for (const GangItem& item : request.items) quantity.push_back(item.quantity);
    BruteForce brute(request);
    const std::set<Counts> patterns =
        brute.Patterns(request.sheet.length / kMm, request.sheet.width / kMm);
    const double optimum =
        FewestWithLayouts(patterns, quantity, request.max_layouts, request.setup_sheets);
    EXPECT_LE(answer.bound, optimum + 1e-9) << "round " << round;
    // Any plan of one or two layouts is two runs of at most two layouts, one run excepted.
    Budget budget(1'000'000'000, {});
    EXPECT_LE(TwoRunSheets(Reduce(request), budget),
              std::max(2.0, FewestWithLayouts(patterns, quantity, 2, 0)))
        << "round " << round;
    if (die) continue;
    EXPECT_GE(answer.cost, optimum - 1e-9) << "round " << round;
    ++planned;
    proven += answer.proof == Proof::kOptimal ? 1 : 0;
  }
  EXPECT_GT(planned, 60);
  EXPECT_GT(proven, planned / 2);
}

/// The two-run bound's grid of second runs against trying every second run: never above the
/// least two runs that fit by area, and at most a hundredth below; cut short, still below.
TEST(GangPlanTest, TwoRunBoundOnItsGridAsOnEveryRun) {
  Random random(31);
  for (int round = 0; round < 12; ++round) {
    GangRequest request = SmallRequest(random, static_cast<int>(random.Between(2, 5)), 3000);
    if (Validate(request)) continue;
    const Model model = Reduce(request);
    Budget budget(1'000'000'000, {});
    const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
    std::int64_t every = std::numeric_limits<std::int64_t>::max();
    for (std::int64_t second = 1; second <= most; ++second) {
      if (!TwoRunsFit(model, most, second, budget)) continue;
      const std::int64_t first = LeastFitting(1, most, [&](std::int64_t r) {
        return TwoRunsFit(model, std::max(r, second), second, budget);
      });
      every = std::min(every, std::max(first, second) + second);
    }
    const std::int64_t grid = TwoRunSheets(model, budget);
    EXPECT_LE(grid, every) << "round " << round;
    EXPECT_GE(static_cast<double>(grid), 0.99 * static_cast<double>(every)) << "round " << round;
    Budget spent(1, {});
    EXPECT_LE(TwoRunSheets(model, spent), every) << "round " << round << ", cut short";
  }
}

/// Two layouts with runs of their own: sound layouts that meet every quantity together, in
/// fewer sheets than asked to beat and never fewer than the two-run bound.
TEST(GangPlanTest, TwoLayoutsMeetEveryQuantityWithinTheBound) {
  Random random(37);
  int found = 0;
  for (int round = 0; round < 16; ++round) {
    GangRequest r{.sheet = {random.Between(500, 1020) * kMm, random.Between(350, 720) * kMm},
                  .bleed = 3 * kMm};
    for (int i = 0, items = static_cast<int>(random.Between(3, 9)); i < items; ++i) {
      r.items.push_back({.id = Named("job ", i),
                         .piece = {random.Between(50, 300) * kMm, random.Between(40, 220) * kMm},
                         .quantity = random.Between(250, 30'000)});
    }
    if (Validate(r)) continue;
    const Model model = Reduce(r);
    Budget budget(100'000'000, {});
    const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
    const std::optional<TwoLayouts> plan = TwoLayoutPlan(model, 2 * most + 1, budget);
    if (!plan) continue;
    ++found;
    EXPECT_TRUE(Fits(model, plan->first.blocks) && Fits(model, plan->second.blocks));
    for (int i = 0; i < model.items(); ++i) {
      EXPECT_GE(plan->first.count[i] * plan->first_runs + plan->second.count[i] * plan->second_runs,
                model.quantity[i])
          << "round " << round << ", item " << i;
    }
    EXPECT_GE(plan->first_runs, plan->second_runs);
    EXPECT_GE(plan->second_runs, 1);
    const std::int64_t sheets = plan->first_runs + plan->second_runs;
    EXPECT_LE(sheets, 2 * most) << "round " << round;
    EXPECT_GE(sheets, TwoRunSheets(model, budget)) << "round " << round;
    // Asked to beat itself, it finds fewer sheets or nothing.
    if (const auto better = TwoLayoutPlan(model, sheets, budget)) {
      EXPECT_LT(better->first_runs + better->second_runs, sheets) << "round " << round;
    }
  }
  EXPECT_GT(found, 10);
}

/// Random print-shop requests with every option: sound plans, the bound at most the cost (and
/// at most the cost of each item alone on its best layout), layouts within the limit.
TEST(GangPlanTest, RandomRequestsGiveSoundPlansAndValidBounds) {
  Random random(23);
  for (int round = 0; round < 60; ++round) {
    GangRequest r{
        .sheet = {random.Between(300, 1020) * kMm, random.Between(250, 720) * kMm},
        .margins = {.gripper = random.Between(0, 12) * kMm, .left = random.Between(0, 5) * kMm},
        .gutter = random.Between(0, 1) * random.Between(0, 4) * kMm,
        .bleed = random.Between(0, 1) * 3 * kMm,
        .cut = random.Between(0, 3) == 0 ? CutMode::kDie : CutMode::kGuillotine,
        .max_layouts = static_cast<int>(random.Between(1, 4)),
        .makeready = random.Between(0, 1) * random.Between(0, 50),
        .setup_sheets = static_cast<double>(random.Between(0, 1) * random.Between(0, 40)) / 2,
        .overs_percent = static_cast<double>(random.Between(0, 30)) / 10,
        .time_limit_ms = 60'000};
    const int items = static_cast<int>(random.Between(1, 6));
    for (int i = 0; i < items; ++i) {
      r.items.push_back(
          {.id = Named("job ", i),
           .piece = {random.Between(40, 300) * kMm, random.Between(30, 220) * kMm},
           .quantity = random.Between(250, 20'000),
           .bleed = random.Between(0, 2) == 0 ? std::optional<Micrometres>(2 * kMm) : std::nullopt,
           .grain = random.Between(0, 2) == 0 ? Grain::kLength : Grain::kAny});
    }
    if (Validate(r)) continue;
    const GangAnswer answer = Plan(r);
    if (answer.layouts.empty()) {
      EXPECT_LT(r.max_layouts, items) << "round " << round << ": no plan";
      continue;
    }
    const std::vector<std::string> faults = testing::CheckGangAnswer(r, answer);
    ASSERT_TRUE(faults.empty()) << "round " << round << ": " << faults.front();
    EXPECT_TRUE(answer.complete);
    // Each item alone on the engine's best layout is a plan too, when the layouts allow it;
    // and no layout holds more of it than the model says any can.
    if (items <= r.max_layouts) {
      double alone = 0;
      const Model model = Reduce(r);
      for (const GangItem& item : r.items) {
        const Answer single = layout::Plan({.sheet = r.sheet,
                                            .piece = item.piece,
                                            .bleed = item.bleed.value_or(r.bleed),
                                            .gutter = r.gutter,
                                            .margins = r.margins,
                                            .grain = item.grain,
                                            .cut = r.cut});
        EXPECT_LE(single.ups, model.most_cells[&item - r.items.data()]) << "round " << round;
        alone += static_cast<double>((item.quantity + single.ups - 1) / single.ups) +
                 static_cast<double>(r.makeready) + r.setup_sheets;
      }
      EXPECT_LE(answer.bound, alone + 1e-9) << "round " << round;
      EXPECT_LE(answer.cost, alone + 1e-9) << "round " << round;
    }
  }
}

TEST(GangPlanTest, OneLayoutRunsUntilTheLastQuantityIsMet) {
  Random random(5);
  // Each plan tries every cut of its pieces at some run lengths: a dozen cover the sizes.
  for (int round = 0; round < 12; ++round) {
    GangRequest r{.sheet = {1020 * kMm, 720 * kMm},
                  .bleed = 3 * kMm,
                  .max_layouts = 1,
                  .time_limit_ms = kMaxGangTimeLimitMs};
    const int items = static_cast<int>(random.Between(2, 12));
    for (int i = 0; i < items; ++i) {
      r.items.push_back({.id = std::to_string(i),
                         .piece = {random.Between(50, 150) * kMm, random.Between(40, 100) * kMm},
                         .quantity = random.Between(250, 50'000)});
    }
    const GangAnswer answer = Plan(r);
    ASSERT_EQ(answer.layouts.size(), 1u) << "round " << round;
    const std::vector<std::string> faults = testing::CheckGangAnswer(r, answer);
    ASSERT_TRUE(faults.empty()) << faults.front();
    std::vector<int> all(static_cast<std::size_t>(items));
    for (int i = 0; i < items; ++i) all[i] = i;
    const std::int64_t least = SingleRunBound(Reduce(r), all);
    EXPECT_GE(answer.layouts[0].runs, least);
    EXPECT_GE(answer.bound, static_cast<double>(least));
  }
}

TEST(GangPlanTest, OneItemIsPlannedAsTheEngineLaysItOut) {
  const GangRequest r{.sheet = {1092 * kMm, 787 * kMm},
                      .items = {{.id = "a5", .piece = {210 * kMm, 140 * kMm}, .quantity = 10'000}},
                      .makeready = 30,
                      .time_limit_ms = kMaxGangTimeLimitMs};
  const Answer single = layout::Plan({.sheet = r.sheet, .piece = r.items[0].piece});
  ASSERT_EQ(single.proof, Proof::kOptimal);
  const std::int64_t sheets = (10'000 + single.ups - 1) / single.ups;
  const GangAnswer answer = Plan(r);
  ASSERT_TRUE(testing::CheckGangAnswer(r, answer).empty());
  EXPECT_EQ(answer.sheets, sheets);
  EXPECT_EQ(answer.cost, static_cast<double>(sheets + 30));
  EXPECT_EQ(answer.bound, answer.cost);
  EXPECT_EQ(answer.proof, Proof::kOptimal);
}

TEST(GangApiTest, RefusesBadInputNamingTheField) {
  const std::string sheet = R"("sheet": {"length": 700, "width": 500})";
  const auto item = [](const std::string& id, const std::string& rest) {
    return R"({"id": ")" + id + R"(", "length": 90, "width": 50, "quantity": 100)" + rest + "}";
  };
  std::string many;
  for (int i = 0; i <= 200; ++i) many.append(i ? "," : "").append(item(Named("i", i), ""));
  const std::pair<std::string, std::string> cases[] = {
      {"{" + sheet + R"(, "items": []})", "items"},
      {"{" + sheet + R"(, "items": [)" + many + "]}", "items"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + "," + item("a", "") + "]}", "items[1].id"},
      {"{" + sheet + R"(, "items": [)" + item("", "") + "]}", "items[0].id"},
      {"{" + sheet + R"(, "items": [)" + item(std::string(65, 'x'), "") + "]}", "items[0].id"},
      {"{" + sheet + R"(, "items": [{"id": "q", "length": 90, "width": 50, "quantity": 1.5}]})",
       "items[0].quantity"},
      {"{" + sheet + R"(, "items": [{"id": "q", "length": 90, "width": 50, "quantity": 0}]})",
       "items[0].quantity"},
      {"{" + sheet +
           R"(, "items": [{"id": "q", "length": 90, "width": 50, "quantity": 1000000001}]})",
       "items[0].quantity"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + "," + item("b", R"(, "extra": 1)") + "]}",
       "items[1].extra"},
      {"{" + sheet + R"(, "items": [{"id": "big", "length": 600, "width": 600, "quantity": 1}]})",
       "items[0].length"},
      {"{" + sheet +
           R"(, "items": [{"id": "g", "length": 600, "width": 100, "quantity": 1, "grain": "width"}]})",
       "items[0].length"},
      {"{" + sheet + R"(, "items": [)" + item("a", R"(, "bleed": -1)") + "]}", "items[0].bleed"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + R"(], "max_layouts": 0})", "max_layouts"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + R"(], "max_layouts": 51})", "max_layouts"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + R"(], "setup_sheets": -1})",
       "setup_sheets"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + R"(], "overs": 101})", "overs"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") + R"(], "time_limit_ms": 60001})",
       "time_limit_ms"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") +
           R"(], "paper": {"price": {"per_tonne": 5}}})",
       "paper.grammage"},
      {"{" + sheet + R"(, "items": [)" + item("a", "") +
           R"(], "piece": {"length": 1, "width": 1}})",
       "piece"},
      {R"({"items": [)" + item("a", "") + "]}", "sheet"},
  };
  for (const auto& [body, field] : cases) {
    const ApiAnswer answer = HandleGangRequest(body);
    EXPECT_EQ(answer.status, 400) << body;
    EXPECT_NE(answer.body.find(R"("field":")" + field + "\"}"), std::string::npos)
        << field << ": " << answer.body;
  }
}

TEST(GangApiTest, AnswersTheSameBytesButElapsedTimeAndRefusesOtherMethods) {
  const std::string body = R"({"sheet": {"length": 720, "width": 520}, "unit": "mm", "bleed": 2,
      "time_limit_ms": 60000,
      "margins": {"gripper": 10}, "gutter": 2, "makeready": 20, "setup_sheets": 5.5, "overs": 2.5,
      "paper": {"parent": {"length": 1440, "width": 1040}, "grammage": 150, "price": {"per_tonne": 900}},
      "items": [{"id": "cards", "length": 90, "width": 55, "quantity": 4000, "grain": "length"},
                {"id": "flyers", "length": 210, "width": 99, "quantity": 1500, "bleed": 3}]})";
  const ApiAnswer first = HandleGangRequest(body);
  ASSERT_EQ(first.status, 200) << first.body;
  const auto strip = [](const std::string& text) {
    return text.substr(0, text.find("\"elapsed_ms\""));
  };
  EXPECT_EQ(strip(first.body), strip(HandleGangRequest(body).body));
  for (const char* key :
       {R"("item":"cards")", R"("paper":{"per_parent":4,)", R"("complete":true)"}) {
    EXPECT_NE(first.body.find(key), std::string::npos) << key << " in " << first.body;
  }
  EXPECT_EQ(GangEndpoint("GET", body).status, 405);
  EXPECT_EQ(HandleGangRequest(std::string(kMaxRequestBytes + 1, ' ')).status, 413);
}

}  // namespace
}  // namespace sheetora::layout::gang
