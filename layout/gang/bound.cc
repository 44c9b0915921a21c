#include "layout/gang/bound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "layout/gang/exact_fit.h"
#include "layout/gang/single.h"
#include "layout/gang/two_runs.h"

namespace sheetora::layout::gang {
namespace {

/// The model with each item's quantity the pieces one layout of a plan of `sheets` must hold.
Model CountsAt(const Model& model, const std::vector<int>& all, std::int64_t sheets) {
  Model counts = model;
  counts.quantity = CopiesAt(model, all, sheets);
  return counts;
}

}  // namespace

double LayoutCountBound(const Model& model, const Costs& costs, double floor, std::int64_t sheets,
                        std::vector<Pattern>& pool, Pricers pricers, Budget& budget) {
  const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
  std::vector<int> all(static_cast<std::size_t>(model.items()));
  std::iota(all.begin(), all.end(), 0);
  struct Term {
    std::int64_t sheets = 0;  // no plan of these layouts prints fewer
    bool settled = false;     // the programme has had its say
  };
  std::vector<Term> terms(static_cast<std::size_t>(costs.max_layouts + 1));
  const auto cost = [&](int k) {
    return static_cast<double>(terms[k].sheets) + k * costs.per_layout;
  };
  for (int k = 1; k <= costs.max_layouts; ++k) {
    // A plan of k layouts costs at least `floor`, so it prints at least floor - k setups.
    const auto low =
        static_cast<std::int64_t>(std::max(1.0, std::ceil(floor - k * costs.per_layout - 1e-6)));
    terms[k].sheets = std::max({low, sheets, SingleRunBound(model, all, k)});
  }
  if (costs.max_layouts >= 2) {
    terms[2].sheets = std::max(terms[2].sheets, TwoRunSheets(model, budget));
  }
  // The cheapest term first: its programme either raises it or settles the bound. Of equal
  // terms, the one of most layouts, which holds the pieces most easily: while it stands, the
  // bound does.
  for (;;) {
    int k = 1;
    for (int j = 2; j <= costs.max_layouts; ++j) {
      if (cost(j) <= cost(k)) k = j;
    }
    if (terms[k].settled || budget.out()) return std::max(floor, cost(k));
    terms[k].settled = true;
    // One layout of a guillotine plan: where the programme proves nothing, the pieces may be
    // few enough to try every way to cut them.
    const auto proven_short = [&](std::int64_t s) {
      const Model counts = CountsAt(model, all, s);
      return ProvenBeyond(counts, k, pool, pricers, budget) ||
             (k == 1 && model.cut == CutMode::kGuillotine &&
              ExactFitShare(model, counts.quantity, budget).fit == Fit::kNone);
    };
    // Only where some item's pieces drop can fewer sheets do: galloping up the breaks from the
    // term (most often it holds at once), then bisection. Every break below `low` is proven
    // too few, and with it the sheets up to the next.
    const std::vector<std::int64_t> breaks =
        RunBreaks(model, all, terms[k].sheets, std::max(terms[k].sheets, most));
    const std::int64_t last = std::ssize(breaks) - 1;
    std::int64_t low = 0, probe = 0, step = 1;
    while (low <= last && proven_short(breaks[probe])) {
      low = probe + 1;
      probe = std::min(last, low + step - 1);
      step *= 2;
    }
    if (low < probe) {
      low = LeastFitting(low, probe, [&](std::int64_t b) { return !proven_short(breaks[b]); });
    }
    // Proven at every break, even one copy each: no plan of these layouts at all.
    terms[k].sheets = low > last ? most + 1 : breaks[low];
  }
}

}  // namespace sheetora::layout::gang
