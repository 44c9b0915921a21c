#include "layout/gang/two_runs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "layout/gang/packer.h"
#include "layout/gang/single.h"

namespace sheetora::layout::gang {

namespace {

/// Calls `share(on_first, on_second)` for each way to meet item i's quantity on two layouts
/// printed `first` and `second` times, with as few copies on the second as the first leaves, no
/// layout holding more than any can.
template <typename Share>
void EachShare(const Model& model, int i, std::int64_t first, std::int64_t second, Budget& budget,
               Share share) {
  const std::int64_t q = model.quantity[i], most = model.most_cells[i];
  const std::int64_t last = std::min(CeilDiv(q, first), most);
  budget.Spend(last + 1);
  for (std::int64_t f = 0; f <= last; ++f) {
    const std::int64_t s = CeilDiv(std::max<std::int64_t>(0, q - f * first), second);
    if (s <= most) share(f, s);
  }
}

/// The copies of two runs with the larger of the layouts' areas least: from the least cover at
/// the weight that balances them best (a heavier weight on the first layout moves copies to
/// the second), then moving one item's copies at a time while that lowers the larger area.
TwoRunCopies Balanced(const Model& model, std::int64_t first, std::int64_t second, Budget& budget) {
  const auto larger = [](const TwoRunCopies& c) { return std::max(c.first_area, c.second_area); };
  TwoRunCopies copies = LeastCover(model, first, second, 0.5, budget);
  double low = 0, high = 1;
  for (int round = 0; round < 16; ++round) {
    const double w = (low + high) / 2;
    TwoRunCopies tried = LeastCover(model, first, second, w, budget);
    (tried.first_area > tried.second_area ? low : high) = w;
    if (larger(tried) < larger(copies)) copies = std::move(tried);
  }
  for (bool moved = true; moved && !budget.out();) {
    moved = false;
    for (int i = 0; i < model.items(); ++i) {
      const double area = model.cell_area[i];
      EachShare(model, i, first, second, budget, [&](std::int64_t f, std::int64_t s) {
        const double a = copies.first_area + area * static_cast<double>(f - copies.first[i]);
        const double b = copies.second_area + area * static_cast<double>(s - copies.second[i]);
        if (std::max(a, b) < larger(copies) - 1e-6 * area) {
          copies.first[i] = f, copies.second[i] = s;
          copies.first_area = a, copies.second_area = b;
          moved = true;
        }
      });
    }
  }
  return copies;
}

}  // namespace

TwoRunCopies LeastCover(const Model& model, std::int64_t first, std::int64_t second, double weight,
                        Budget& budget) {
  TwoRunCopies copies;
  for (int i = 0; i < model.items(); ++i) {
    double least = std::numeric_limits<double>::infinity();
    std::int64_t on_first = 0, on_second = 0;
    EachShare(model, i, first, second, budget, [&](std::int64_t f, std::int64_t s) {
      const double cover = weight * static_cast<double>(f) + (1 - weight) * static_cast<double>(s);
      if (cover < least) least = cover, on_first = f, on_second = s;
    });
    copies.first.push_back(on_first);
    copies.second.push_back(on_second);
    copies.cover += least * model.cell_area[i];
    copies.first_area += static_cast<double>(on_first) * model.cell_area[i];
    copies.second_area += static_cast<double>(on_second) * model.cell_area[i];
  }
  return copies;
}

bool TwoRunsFit(const Model& model, std::int64_t first, std::int64_t second, Budget& budget) {
  const auto excess = [&](double w) {
    return LeastCover(model, first, second, w, budget).cover - model.usable_area * (1 + 1e-12);
  };
  constexpr double kGolden = 0.6180339887498949;
  double low = 0, high = 1;
  if (excess(low) > 0 || excess(high) > 0) return false;
  double a = high - kGolden * (high - low), b = low + kGolden * (high - low);
  double at_a = excess(a), at_b = excess(b);
  for (int round = 0; round < 24; ++round) {
    if (at_a > 0 || at_b > 0) return false;
    if (at_a < at_b) {
      low = a, a = b, at_a = at_b;
      b = low + kGolden * (high - low), at_b = excess(b);
    } else {
      high = b, b = a, at_b = at_a;
      a = high - kGolden * (high - low), at_a = excess(a);
    }
  }
  return true;
}

std::int64_t TwoRunSheets(const Model& model, Budget& budget) {
  const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
  std::int64_t best = std::numeric_limits<std::int64_t>::max(), first = most;
  std::int64_t second = 1;
  while (second <= most && second < best / 2 && !budget.out()) {
    const std::int64_t next = second + std::max<std::int64_t>(1, second / 100);
    const std::int64_t last = std::min(next, most + 1) - 1;
    if (TwoRunsFit(model, most, last, budget)) {
      first = LeastFitting(1, first, [&](std::int64_t r) {
        return TwoRunsFit(model, std::max(r, last), last, budget);
      });
      best = std::min(best, std::max(first, second) + second);
    }
    second = next;
  }
  // Cut short, the second runs not tried still print twice as many sheets at least.
  return std::min(best, 2 * second);
}

std::optional<TwoLayouts> TwoLayoutPlan(const Model& model, std::int64_t beat, Budget& budget) {
  // The tighter packers: a plan of two layouts is worth their cost.
  const auto pack = [&](std::int64_t first, std::int64_t second) -> std::optional<TwoLayouts> {
    const TwoRunCopies copies = Balanced(model, first, second, budget);
    if (std::isinf(copies.cover)) return std::nullopt;
    std::optional<Pattern> a = PackCounts(model, copies.first, budget, kTightShuffles);
    if (!a) return std::nullopt;
    std::optional<Pattern> b = PackCounts(model, copies.second, budget, kTightShuffles);
    if (!b) return std::nullopt;
    return TwoLayouts{*std::move(a), *std::move(b), first, second};
  };
  std::optional<TwoLayouts> best;
  if (beat < 3) return best;  // two layouts print two sheets at least
  // Second runs from half the sheets to beat down by a seventh each, to a hundredth of them.
  for (double at = static_cast<double>(beat) / 2; at >= static_cast<double>(beat) / 100;
       at *= 6.0 / 7) {
    const auto second = static_cast<std::int64_t>(std::ceil(at));
    const std::int64_t high = beat - 1 - second;
    if (high < second || budget.out()) continue;
    if (!TwoRunsFit(model, high, second, budget)) continue;
    std::optional<TwoLayouts> found = pack(high, second);
    if (!found) continue;
    // The least first run the packers fit, by bisection from the least that fits by area.
    std::int64_t low = LeastFitting(
        second, high, [&](std::int64_t r) { return TwoRunsFit(model, r, second, budget); });
    std::int64_t fits = high;
    while (low < fits && !budget.out()) {
      const std::int64_t mid = low + (fits - low) / 2;
      if (std::optional<TwoLayouts> tighter = pack(mid, second)) {
        fits = mid, found = std::move(tighter);
      } else {
        low = mid + 1;
      }
    }
    best = std::move(found);
    beat = fits + second;
  }
  return best;
}

std::optional<TwoLayouts> TwoGroupsPlan(const Model& model, std::int64_t beat, Budget& budget) {
  const int n = model.items();
  // The item that needs the most runs on its own sets the first layout's run.
  std::vector<std::int64_t> own(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) own[i] = CeilDiv(model.quantity[i], model.most_cells[i]);
  const int anchor = static_cast<int>(std::max_element(own.begin(), own.end()) - own.begin());
  const std::optional<SingleLayout> alone = SingleLayoutPlan(model, {anchor}, budget);
  if (!alone || alone->runs >= beat) return std::nullopt;
  // The others join it, the most paper first, while its sheets hold them at that run.
  std::vector<int> order;
  for (int i = 0; i < n; ++i) {
    if (i != anchor) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return static_cast<double>(model.quantity[a]) * model.cell_area[a] >
           static_cast<double>(model.quantity[b]) * model.cell_area[b];
  });
  std::vector<int> first{anchor}, second;
  Pattern filled = alone->pattern;
  for (const int i : order) {
    std::vector<int> tried = first;
    tried.push_back(i);
    std::optional<Pattern> packed;
    if (!budget.out()) {
      packed = PackCounts(model, CopiesAt(model, tried, alone->runs), budget, kTightShuffles);
    }
    if (packed) {
      first = std::move(tried), filled = *std::move(packed);
    } else {
      second.push_back(i);
    }
  }
  if (second.empty()) return std::nullopt;  // one layout holds them all: not two
  const std::optional<SingleLayout> rest = SingleLayoutPlan(model, second, budget, Effort::kTight);
  if (!rest || alone->runs + rest->runs >= beat) return std::nullopt;
  return TwoLayouts{std::move(filled), rest->pattern, alone->runs, rest->runs};
}

}  // namespace sheetora::layout::gang
