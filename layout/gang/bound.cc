#include "layout/gang/bound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "layout/gang/exact_fit.h"

namespace sheetora::layout::gang {
namespace {

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

/// The model with each item's quantity the pieces one layout of a plan of `sheets` must hold.
Model CountsAt(const Model& model, std::int64_t sheets) {
  Model counts = model;
  for (std::int64_t& q : counts.quantity) q = CeilDiv(q, sheets);
  return counts;
}

bool FitsByArea(const Model& model, std::int64_t sheets, int layouts) {
  double used = 0;
  for (int i = 0; i < model.items(); ++i) {
    used += static_cast<double>(CeilDiv(model.quantity[i], sheets)) * model.cell_area[i];
  }
  return used <= layouts * model.usable_area;
}

/// The least S >= low with `fits(S)`, for `fits` monotone in S and true at `high`.
template <typename Fits>
std::int64_t LeastFitting(std::int64_t low, std::int64_t high, Fits fits) {
  while (low < high) {
    const std::int64_t mid = low + (high - low) / 2;
    if (fits(mid)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

}  // namespace

double LayoutCountBound(const Model& model, const Costs& costs, double floor,
                        std::vector<Pattern>& pool, Pricers pricers, Budget& budget) {
  const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
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
    terms[k].sheets = std::max(
        low, LeastFitting(1, most, [&](std::int64_t s) { return FitsByArea(model, s, k); }));
  }
  // The cheapest term first: its programme either raises it or settles the bound.
  for (;;) {
    int k = 1;
    for (int j = 2; j <= costs.max_layouts; ++j) {
      if (cost(j) < cost(k)) k = j;
    }
    if (terms[k].settled || budget.out()) return std::max(floor, cost(k));
    terms[k].settled = true;
    // One layout of a guillotine plan: where the programme proves nothing, the pieces may be
    // few enough to try every way to cut them.
    const auto proven_short = [&](std::int64_t s) {
      const Model counts = CountsAt(model, s);
      return ProvenBeyond(counts, k, pool, pricers, budget) ||
             (k == 1 && model.cut == CutMode::kGuillotine &&
              ExactFitShare(model, counts.quantity, budget).fit == Fit::kNone);
    };
    // Galloping up from the term (most often it holds at once), then bisection; every S below
    // `low` is proven too few.
    std::int64_t low = terms[k].sheets, probe = low, step = 1;
    while (proven_short(probe)) {
      low = probe + 1;
      if (low >= most) break;
      probe = std::min(most, low + step - 1);
      step *= 2;
    }
    if (low < probe) {
      low = LeastFitting(low, probe, [&](std::int64_t s) { return !proven_short(s); });
    }
    terms[k].sheets = low;
  }
}

}  // namespace sheetora::layout::gang
