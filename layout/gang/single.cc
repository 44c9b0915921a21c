#include "layout/gang/single.h"

#include <algorithm>

#include "layout/gang/exact_fit.h"
#include "layout/gang/packer.h"
#include "layout/gang/strip_programme.h"

namespace sheetora::layout::gang {
namespace {

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

std::vector<std::int64_t> CopiesAt(const Model& model, const std::vector<int>& items,
                                   std::int64_t runs) {
  std::vector<std::int64_t> copies(static_cast<std::size_t>(model.items()), 0);
  for (const int i : items) copies[i] = CeilDiv(model.quantity[i], runs);
  return copies;
}

bool FitsByArea(const Model& model, const std::vector<int>& items, std::int64_t runs) {
  const double area = model.usable_area;
  double used = 0;
  for (const int i : items) {
    used += static_cast<double>(CeilDiv(model.quantity[i], runs)) * model.cell_area[i];
  }
  return used <= area;
}

std::int64_t MostQuantity(const Model& model, const std::vector<int>& items) {
  std::int64_t most = 1;
  for (const int i : items) most = std::max(most, model.quantity[i]);
  return most;
}

}  // namespace

std::int64_t SingleRunBound(const Model& model, const std::vector<int>& items) {
  // Fewer runs need more pieces: the least run length that fits by area, by bisection.
  std::int64_t low = 1, high = MostQuantity(model, items);
  while (low < high) {
    const std::int64_t mid = low + (high - low) / 2;
    if (FitsByArea(model, items, mid)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

std::optional<SingleLayout> SingleLayoutPlan(const Model& model, const std::vector<int>& items,
                                             Budget& budget, Effort effort) {
  const std::int64_t most = MostQuantity(model, items);
  std::optional<SingleLayout> best;
  enum class Packer { kGreedy, kProgramme, kExact } packer = Packer::kGreedy;
  const auto attempt = [&](std::int64_t runs) {
    const std::vector<std::int64_t> copies = CopiesAt(model, items, runs);
    std::optional<Pattern> found;
    switch (packer) {
      case Packer::kGreedy:
        found = PackCounts(model, copies, budget, effort != Effort::kQuick);
        break;
      case Packer::kProgramme:
        found = PackStripProgramme(model, copies, budget);
        break;
      case Packer::kExact:
        found = ExactFitShare(model, copies, budget).pattern;
        break;
    }
    if (!found) return false;
    std::int64_t needed = 1;
    for (const int i : items)
      needed = std::max(needed, CeilDiv(model.quantity[i], found->count[i]));
    if (!best || needed < best->runs) best = SingleLayout{*std::move(found), needed};
    return true;
  };
  // Up from the area bound by growing steps until a layout fits, then bisection between the
  // last run length that failed and the first that fitted (fitting is near monotone in it).
  std::int64_t failed = SingleRunBound(model, items) - 1, step = 1;
  std::int64_t runs = failed + 1;
  while (!attempt(runs)) {
    if (budget.out() || runs >= most) return best;
    failed = runs;
    runs = std::min(most, runs + std::max<std::int64_t>(step, runs / 64));
    step *= 2;
  }
  const auto bisect = [&](std::int64_t failed) {
    std::int64_t fitted = best->runs;
    while (fitted - failed > 1 && !budget.out()) {
      const std::int64_t mid = failed + (fitted - failed) / 2;
      if (attempt(mid)) {
        fitted = std::min(mid, best->runs);
      } else {
        failed = mid;
      }
    }
  };
  bisect(failed);
  // The strip programme fits tighter but costs more, and trying every cut more still (for a few
  // pieces): each only bisects what the one before left, from the area bound up.
  if (effort != Effort::kQuick) {
    packer = Packer::kProgramme;
    bisect(SingleRunBound(model, items) - 1);
    if (effort == Effort::kExhaustive && model.cut == CutMode::kGuillotine) {
      packer = Packer::kExact;
      bisect(SingleRunBound(model, items) - 1);
    }
  }
  return best;
}

}  // namespace sheetora::layout::gang
