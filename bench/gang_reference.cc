#include "bench/gang_reference.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "layout/gang/master.h"
#include "layout/gang/model.h"
#include "layout/gang/packer.h"
#include "layout/gang/single.h"
#include "layout/plan.h"

namespace sheetora::bench {
namespace {

using layout::Micrometres;
using namespace layout::gang;  // NOLINT(google-build-using-namespace): the planner's own words

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

/// Gangs of the jobs in `items`: the shortest run length, tried upwards by 4% steps from the area
/// bound, at which the planner's shelves or free rectangles hold every job's pieces.
void AddGangs(const Model& model, const std::vector<int>& items, std::vector<Pattern>& pool) {
  Budget budget(50'000'000, {});
  std::int64_t runs = SingleRunBound(model, items);
  for (int attempt = 0; attempt < 60; ++attempt) {
    std::vector<std::int64_t> counts(static_cast<std::size_t>(model.items()), 0);
    for (const int i : items) counts[i] = CeilDiv(model.quantity[i], runs);
    if (auto found = PackCounts(model, counts, budget)) {
      pool.push_back(*std::move(found));
      return;
    }
    runs = std::max(runs + 1, runs * 104 / 100);
  }
}

std::vector<Pattern> AlonePatterns(const layout::gang::GangRequest& r, const Model& model) {
  std::vector<Pattern> alone;
  for (std::size_t i = 0; i < r.items.size(); ++i) {
    const GangItem& item = r.items[i];
    const layout::Answer answer = layout::Plan({.sheet = r.sheet,
                                                .piece = item.piece,
                                                .bleed = item.bleed.value_or(r.bleed),
                                                .gutter = r.gutter,
                                                .margins = r.margins,
                                                .grain = item.grain,
                                                .cut = r.cut});
    Pattern p{.count = std::vector<std::int64_t>(r.items.size(), 0)};
    p.count[i] = answer.ups;
    alone.push_back(std::move(p));
  }
  (void)model;
  return alone;
}

ReferencePlan Summarise(const Model& model, const Costs& costs, const std::vector<Pattern>& pool,
                        const std::vector<std::int64_t>& runs) {
  ReferencePlan plan{.found = true};
  for (std::size_t p = 0; p < pool.size(); ++p) {
    if (runs[p] == 0) continue;
    plan.sheets += runs[p];
    ++plan.layouts;
  }
  plan.cost = static_cast<double>(plan.sheets) + costs.per_layout * plan.layouts;
  (void)model;
  return plan;
}

}  // namespace

ReferencePlan PlanAlone(const layout::gang::GangRequest& request) {
  const Model model = Reduce(request);
  const Costs costs{.per_layout = static_cast<double>(request.makeready) + request.setup_sheets,
                    .max_layouts = kMaxLayouts};
  const std::vector<Pattern> alone = AlonePatterns(request, model);
  std::vector<std::int64_t> runs;
  for (const Pattern& p : alone) runs.push_back(UsefulRuns(model, p));
  return Summarise(model, costs, alone, runs);
}

ReferencePlan PlanReference(const layout::gang::GangRequest& request) {
  const Model model = Reduce(request);
  const Costs costs{.per_layout = static_cast<double>(request.makeready) + request.setup_sheets,
                    .max_layouts = request.max_layouts};
  std::vector<Pattern> pool = AlonePatterns(request, model);
  // Gangs of neighbours in quantity: every run of two or more of the jobs sorted by quantity.
  std::vector<int> order(request.items.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return model.quantity[a] > model.quantity[b]; });
  const int n = model.items();
  for (int first = 0; first < n; ++first) {
    for (int last = first + 2; last <= n; ++last) {
      if (request.max_layouts == 1 && (first > 0 || last < n)) continue;
      AddGangs(model, std::vector<int>(order.begin() + first, order.begin() + last), pool);
    }
  }
  Budget budget(1'000'000'000, {.deadline = layout::Clock::now() + std::chrono::seconds(20)});
  const auto runs = IntegerPlan(model, costs, pool, {}, budget);
  if (!runs) return {};
  return Summarise(model, costs, pool, *runs);
}

}  // namespace sheetora::bench
