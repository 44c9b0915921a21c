#include "layout/gang/single.h"

#include <algorithm>

#include "layout/gang/exact_fit.h"
#include "layout/gang/packer.h"
#include "layout/gang/strip_programme.h"

namespace sheetora::layout::gang {
namespace {

/// Shuffled orders where a single layout is the whole plan: fills of nineteen parts in twenty
/// need one of thousands.
constexpr int kManyShuffles = 32768;

std::int64_t MostQuantity(const Model& model, const std::vector<int>& items) {
  std::int64_t most = 1;
  for (const int i : items) most = std::max(most, model.quantity[i]);
  return most;
}

}  // namespace

std::vector<std::int64_t> CopiesAt(const Model& model, const std::vector<int>& items,
                                   std::int64_t runs) {
  std::vector<std::int64_t> copies(static_cast<std::size_t>(model.items()), 0);
  for (const int i : items) copies[i] = CeilDiv(model.quantity[i], runs);
  return copies;
}

std::int64_t SingleRunBound(const Model& model, const std::vector<int>& items, int layouts) {
  // Fewer runs need more pieces: the least run length that fits by area, by bisection.
  return LeastFitting(1, MostQuantity(model, items), [&](std::int64_t runs) {
    double used = 0;
    for (const int i : items) {
      used += static_cast<double>(CeilDiv(model.quantity[i], runs)) * model.cell_area[i];
    }
    return used <= layouts * model.usable_area;
  });
}

std::vector<std::int64_t> RunBreaks(const Model& model, const std::vector<int>& items,
                                    std::int64_t low, std::int64_t high) {
  // Copies c of a quantity q need ceil(q / c) runs at least: those in (low, high] are breaks.
  constexpr std::int64_t kMost = 1 << 14;
  std::vector<std::int64_t> breaks{low};
  for (const int i : items) {
    const std::int64_t q = model.quantity[i];
    const std::int64_t fewest = CeilDiv(q, high);
    for (std::int64_t c = fewest; c <= std::min(CeilDiv(q, low), fewest + kMost); ++c) {
      const std::int64_t runs = CeilDiv(q, c);
      if (runs > low && runs <= high) breaks.push_back(runs);
    }
  }
  breaks.push_back(high);
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  // Far too many to try anyway: an even selection keeps the searches' steps few.
  if (std::ssize(breaks) > kMost) {
    std::vector<std::int64_t> kept;
    for (std::int64_t k = 0; k < kMost; ++k) {
      kept.push_back(breaks[k * (std::ssize(breaks) - 1) / (kMost - 1)]);
    }
    breaks = std::move(kept);
  }
  return breaks;
}

std::optional<SingleLayout> SingleLayoutPlan(const Model& model, const std::vector<int>& items,
                                             Budget& budget, Effort effort) {
  const std::int64_t least = SingleRunBound(model, items);
  const std::vector<std::int64_t> runs =
      RunBreaks(model, items, least, std::max(least, MostQuantity(model, items)));
  const int last = static_cast<int>(runs.size()) - 1;
  std::optional<SingleLayout> best;
  enum class Packer { kGreedy, kProgramme, kShuffled, kExact } packer = Packer::kGreedy;
  // Tries the copies of runs[k]; true when a layout held them.
  const auto attempt = [&](int k) {
    const std::vector<std::int64_t> copies = CopiesAt(model, items, runs[k]);
    std::optional<Pattern> found;
    switch (packer) {
      case Packer::kGreedy:
        found = PackCounts(model, copies, budget, effort != Effort::kQuick ? kTightShuffles : 0);
        break;
      case Packer::kShuffled:
        found = PackCounts(model, copies, budget, kManyShuffles);
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
  // The index of the best plan's run length (a break itself: some item's copies set it), past
  // the last while there is none.
  const auto fitted = [&] {
    return best ? static_cast<int>(std::lower_bound(runs.begin(), runs.end(), best->runs) -
                                   runs.begin())
                : last + 1;
  };
  // Up from the area bound by growing steps until a layout fits.
  int failed = -1;
  for (int at = 0, step = 1; !attempt(at); step *= 2) {
    failed = at;
    if (budget.out() || at == last) break;
    at = std::min(last, at + step);
  }
  // Then bisection between the last that failed and the best that fitted (fitting is near
  // monotone in the run length).
  const auto bisect = [&](int failed) {
    while (fitted() - failed > 1 && !budget.out()) {
      const int mid = failed + (fitted() - failed) / 2;
      if (!attempt(mid)) failed = mid;
    }
  };
  bisect(failed);
  // The strip programme fits tighter but costs more: it bisects what the packers left, from
  // the area bound up. Trying every cut (for a few pieces), then many more shuffled orders,
  // cost the most, and most where nothing fits: they step down from the best run length while
  // they find layouts.
  const auto descend = [&] {
    while (fitted() > 0 && !budget.out() && attempt(fitted() - 1)) {
    }
  };
  if (effort != Effort::kQuick) {
    packer = Packer::kProgramme;
    bisect(-1);
    if (effort == Effort::kExhaustive) {
      if (model.cut == CutMode::kGuillotine) {
        packer = Packer::kExact;
        descend();
      }
      packer = Packer::kShuffled;
      descend();
    }
  }
  return best;
}

}  // namespace sheetora::layout::gang
