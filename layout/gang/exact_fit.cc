#include "layout/gang/exact_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "layout/raster.h"

namespace sheetora::layout::gang {
namespace {

/// Searches beyond these many pieces, ways to choose part of them, or raster points of an
/// axis, are not tried: they would not end within any budget.
constexpr std::int64_t kMaxPieces = 32;
constexpr std::int64_t kMaxSubsets = 1 << 13;
constexpr std::int64_t kMaxPoints = 1 << 11;

/// Items whose cells lie the same ways are one kind: which of them a piece belongs to does not
/// change where it fits.
struct Kind {
  std::vector<std::pair<Micrometres, Micrometres>> ways;  // the cell's sides along x and y
  double area = 0;
  std::int64_t count = 0;
  std::vector<int> items;
};

/// Sets of pieces are numbers in mixed radix: digit k counts the pieces of kind k.
class Search {
 public:
  Search(const Model& model, std::vector<Kind> kinds, RasterAxis xs, RasterAxis ys, Budget& budget)
      : model_(model),
        kinds_(std::move(kinds)),
        xs_(std::move(xs)),
        ys_(std::move(ys)),
        budget_(budget) {
    std::int64_t place = 1;
    for (const Kind& kind : kinds_) {
      radix_.push_back(place);
      place *= kind.count + 1;
    }
  }

  [[nodiscard]] std::int64_t Whole() const {
    std::int64_t code = 0;
    for (std::size_t k = 0; k < kinds_.size(); ++k) code += kinds_[k].count * radix_[k];
    return code;
  }
  [[nodiscard]] int Right() const { return xs_.size() - 1; }
  [[nodiscard]] int Top() const { return ys_.size() - 1; }

  /// 1: the set fits the rectangle xs[i] x ys[j]; 0: it does not; -1: unknown (out of steps).
  int Fits(int i, int j, std::int64_t set) {
    if (set == 0) return 1;
    const auto key = static_cast<std::uint64_t>(
        (set * xs_.size() + i) * static_cast<std::int64_t>(ys_.size()) + j);
    if (const auto found = memo_.find(key); found != memo_.end()) return found->second;
    // Pieces pushed left and down as far as they go start where others end, so the set fits
    // the rectangle exactly when it fits the one of the longest sums of its own sides inside.
    if (const auto [si, sj] = Shrunk(i, j, set); si != i || sj != j) {
      const int r = Fits(si, sj, set);
      if (r == 1) larger_[key] = {si, sj};
      if (r >= 0) memo_[key] = r;
      return r;
    }
    // A set that fits a rectangle fits any larger one; one that does not, no smaller one.
    auto& known = known_[set];
    if (!budget_.Spend(static_cast<std::int64_t>(known.size()))) return -1;
    for (const auto& [ki, kj, fits] : known) {
      if (fits && ki <= i && kj <= j) {
        larger_[key] = {ki, kj};
        return memo_[key] = 1;
      }
      if (!fits && ki >= i && kj >= j) return memo_[key] = 0;
    }
    // A step is some nanoseconds of the other searches: a visit, with its hash tables, costs
    // about a hundred.
    if (!budget_.Spend(128 + static_cast<std::int64_t>(kinds_.size()))) return -1;
    const Micrometres w = xs_[i], h = ys_[j];
    double area = 0;
    std::int64_t pieces = 0;
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
      const std::int64_t n = Digit(set, k);
      if (n == 0) continue;
      if (!std::any_of(kinds_[k].ways.begin(), kinds_[k].ways.end(),
                       [&](const auto& way) { return way.first <= w && way.second <= h; })) {
        return memo_[key] = 0;
      }
      area += static_cast<double>(n) * kinds_[k].area;
      pieces += n;
    }
    if (area > static_cast<double>(w) * static_cast<double>(h)) return memo_[key] = 0;
    if (pieces == 1) return memo_[key] = 1;
    bool unknown = false;
    for (const bool across_y : {false, true}) {
      const RasterAxis& axis = across_y ? ys_ : xs_;
      const int end = across_y ? j : i;
      const auto sub = [&](int at, std::int64_t part) {
        return across_y ? Fits(i, at, part) : Fits(at, j, part);
      };
      // Each part with the rest: the part on the near side, the lesser of a mirrored pair.
      for (std::int64_t part = Next(set, 0); part != 0; part = Next(set, part)) {
        const std::int64_t rest = set - part;
        if (part > rest) continue;
        if (!budget_.Spend(8)) return -1;
        // Neither side can be shorter than its widest piece or its area allows: that leaves
        // the part a range of sides without a search, or none.
        const double part_needs = Least(part, across_y, across_y ? w : h);
        const double rest_needs = Least(rest, across_y, across_y ? w : h);
        if (part_needs + rest_needs > static_cast<double>(axis[end])) continue;
        const int room = axis.Floor(axis[end] - static_cast<Micrometres>(std::ceil(rest_needs)));
        int low = axis.Floor(static_cast<Micrometres>(std::floor(part_needs)));
        if (axis[low] < part_needs) ++low;
        if (low > room) continue;
        // The least side the part needs, by bisection (it fits any longer side too).
        int high = room;
        const int whole = sub(high, part);
        if (whole <= 0) {
          unknown = unknown || whole < 0;
          continue;
        }
        while (low < high) {
          const int mid = low + (high - low) / 2;
          const int r = sub(mid, part);
          if (r < 0) return -1;
          if (r == 1) {
            high = mid;
          } else {
            low = mid + 1;
          }
        }
        const int r = sub(axis.Floor(axis[end] - axis[high]), rest);
        if (r == 1) {
          choice_[key] = {across_y, part, high};
          Learn(set, i, j, true);
          return memo_[key] = 1;
        }
        unknown = unknown || r < 0;
      }
    }
    if (unknown) return -1;
    Learn(set, i, j, false);
    return memo_[key] = 0;
  }

  /// The blocks of a set that fits, one cell each, each piece given to an item of its kind.
  void Emit(int i, int j, std::int64_t set, Micrometres x, Micrometres y,
            std::vector<std::int64_t>& left, std::vector<CellBlock>& out) const {
    if (set == 0) return;
    const auto key = static_cast<std::uint64_t>(
        (set * xs_.size() + i) * static_cast<std::int64_t>(ys_.size()) + j);
    if (const auto found = larger_.find(key); found != larger_.end()) {
      Emit(found->second.first, found->second.second, set, x, y, left, out);
      return;
    }
    if (const auto found = choice_.find(key); found != choice_.end()) {
      const auto& [across_y, part, at] = found->second;
      const RasterAxis& axis = across_y ? ys_ : xs_;
      const int end = across_y ? j : i;
      const int far = axis.Floor(axis[end] - axis[at]);
      if (across_y) {
        Emit(i, at, part, x, y, left, out);
        Emit(i, far, set - part, x, y + axis[at], left, out);
      } else {
        Emit(at, j, part, x, y, left, out);
        Emit(far, j, set - part, x + axis[at], y, left, out);
      }
      return;
    }
    // One piece: an item of its kind still short, lying a way that fits.
    std::size_t k = 0;
    while (Digit(set, k) == 0) ++k;
    const int item = *std::find_if(kinds_[k].items.begin(), kinds_[k].items.end(),
                                   [&](int it) { return left[it] > 0; });
    --left[item];
    for (int s = 0; s < std::ssize(model_.shapes); ++s) {
      const Shape& shape = model_.shapes[s];
      if (shape.item == item && shape.x <= xs_[i] && shape.y <= ys_[j]) {
        out.push_back({.shape = s, .x = x, .y = y, .columns = 1, .rows = 1});
        return;
      }
    }
  }

 private:
  /// Keeps, of each set, only the least rectangles it fits and the largest it does not.
  void Learn(std::int64_t set, int i, int j, bool fits) {
    auto& known = known_[set];
    std::erase_if(known, [&](const auto& k) {
      const auto& [ki, kj, kfits] = k;
      return kfits == fits && (fits ? ki >= i && kj >= j : ki <= i && kj <= j);
    });
    known.emplace_back(i, j, fits);
  }

  /// The indices of the longest sums of the set's sides along x and y within xs[i] and ys[j].
  std::pair<int, int> Shrunk(int i, int j, std::int64_t set) {
    auto [at, added] = sums_.try_emplace(set);
    Sums& sums = at->second;
    if (added) {
      sums.x.assign(static_cast<std::size_t>(xs_.size()), false);
      sums.y.assign(static_cast<std::size_t>(ys_.size()), false);
      sums.x[0] = sums.y[0] = true;
      for (std::size_t k = 0; k < kinds_.size(); ++k) {
        for (std::int64_t n = Digit(set, k); n > 0; --n) {
          Reach(xs_, sums.x, kinds_[k].ways, true);
          Reach(ys_, sums.y, kinds_[k].ways, false);
        }
      }
    }
    while (!sums.x[static_cast<std::size_t>(i)]) --i;
    while (!sums.y[static_cast<std::size_t>(j)]) --j;
    return {i, j};
  }
  /// Adds one piece lying any of `ways` to the sums `reached` of the axis.
  void Reach(const RasterAxis& axis, std::vector<bool>& reached,
             const std::vector<std::pair<Micrometres, Micrometres>>& ways, bool along_x) {
    for (int p = axis.size() - 1; p >= 0; --p) {
      if (!reached[static_cast<std::size_t>(p)]) continue;
      for (const auto& [x, y] : ways) {
        const Micrometres end = axis[p] + (along_x ? x : y);
        if (end > axis[axis.size() - 1]) continue;
        const int q = axis.Floor(end);
        if (axis[q] == end) reached[static_cast<std::size_t>(q)] = true;
      }
    }
    budget_.Spend(static_cast<std::int64_t>(axis.size()));
  }

  /// The least side along the cut (across y or x) any layout of `set` takes in a rectangle
  /// whose other side is `other`: its widest piece, and its area over `other`.
  [[nodiscard]] double Least(std::int64_t set, bool across_y, Micrometres other) const {
    double area = 0, widest = 0;
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
      const std::int64_t n = Digit(set, k);
      if (n == 0) continue;
      auto side = std::numeric_limits<double>::infinity();
      for (const auto& [x, y] : kinds_[k].ways) {
        if ((across_y ? x : y) <= other)
          side = std::min(side, static_cast<double>(across_y ? y : x));
      }
      widest = std::max(widest, side);
      area += static_cast<double>(n) * kinds_[k].area;
    }
    return std::max(widest, area / static_cast<double>(other));
  }
  [[nodiscard]] std::int64_t Digit(std::int64_t set, std::size_t k) const {
    return set / radix_[k] % (kinds_[k].count + 1);
  }
  /// The next part of `set` after `part` in counting order; 0 after the last.
  [[nodiscard]] std::int64_t Next(std::int64_t set, std::int64_t part) const {
    for (std::size_t k = 0; k < kinds_.size(); ++k) {
      if (Digit(part, k) < Digit(set, k)) return part + radix_[k];
      part -= Digit(part, k) * radix_[k];
    }
    return 0;
  }

  struct Choice {
    bool across_y = false;
    std::int64_t part = 0;
    int at = 0;  // the raster index where the part's side ends
  };

  const Model& model_;
  std::vector<Kind> kinds_;
  RasterAxis xs_, ys_;
  Budget& budget_;
  std::vector<std::int64_t> radix_;
  std::unordered_map<std::uint64_t, int> memo_;
  /// By set: rectangles it was found to fit (true) or not to fit (false) by search.
  std::unordered_map<std::int64_t, std::vector<std::tuple<int, int, bool>>> known_;
  /// Rectangles a set fits because it fits the smaller one given.
  std::unordered_map<std::uint64_t, std::pair<int, int>> larger_;
  std::unordered_map<std::uint64_t, Choice> choice_;
  struct Sums {
    std::vector<bool> x, y;  // by raster index: some of the set's pieces side by side end there
  };
  std::unordered_map<std::int64_t, Sums> sums_;
};

}  // namespace

FitAnswer ExactFit(const Model& model, const std::vector<std::int64_t>& counts, Budget& budget) {
  if (std::all_of(counts.begin(), counts.end(), [](std::int64_t c) { return c == 0; })) {
    return {.fit = Fit::kFits, .pattern = MakePattern(model, {})};
  }
  std::map<std::vector<std::pair<Micrometres, Micrometres>>, Kind> by_ways;
  std::vector<std::int64_t> xs, ys;
  std::int64_t subsets = 1, pieces = 0;
  for (int i = 0; i < model.items(); ++i) {
    if (counts[i] == 0) continue;
    std::vector<std::pair<Micrometres, Micrometres>> ways;
    for (const Shape& s : model.shapes) {
      if (s.item != i) continue;
      ways.emplace_back(s.x, s.y);
      xs.push_back(s.x);
      ys.push_back(s.y);
    }
    std::sort(ways.begin(), ways.end());
    Kind& kind = by_ways[ways];
    subsets = subsets / (kind.count + 1) * (kind.count + counts[i] + 1);
    kind.ways = ways;
    kind.area = model.cell_area[i];
    kind.count += counts[i];
    kind.items.push_back(i);
    pieces += counts[i];
    if (subsets > kMaxSubsets || pieces > kMaxPieces) return {};
  }
  auto x_axis = RasterAxis::FromSides(model.X, xs, kMaxPoints);
  auto y_axis = RasterAxis::FromSides(model.Y, ys, kMaxPoints);
  if (!x_axis || !y_axis) return {};
  std::vector<Kind> kinds;
  for (auto& [ways, kind] : by_ways) kinds.push_back(std::move(kind));
  Search search(model, std::move(kinds), *std::move(x_axis), *std::move(y_axis), budget);
  const std::int64_t whole = search.Whole();
  switch (search.Fits(search.Right(), search.Top(), whole)) {
    case 0:
      return {.fit = Fit::kNone};
    case 1: {
      std::vector<std::int64_t> left = counts;
      std::vector<CellBlock> blocks;
      search.Emit(search.Right(), search.Top(), whole, 0, 0, left, blocks);
      return {.fit = Fit::kFits, .pattern = MakePattern(model, std::move(blocks))};
    }
    default:
      return {};
  }
}

FitAnswer ExactFitShare(const Model& model, const std::vector<std::int64_t>& counts,
                        Budget& budget) {
  constexpr std::int64_t kSteps = 40'000'000;
  Budget share = budget.Share(kSteps);
  const std::int64_t given = share.left();
  FitAnswer answer = ExactFit(model, counts, share);
  budget.Absorb(share, given);
  return answer;
}

}  // namespace sheetora::layout::gang
