#include "layout/bands.h"

#include <algorithm>

#include "layout/guillotine.h"

namespace sheetora::layout {

namespace {

// How a column w wide and H high splits: `upright` rows of w / a pieces (b high) below `turned`
// rows of w / b pieces (a high).
struct Column {
  std::int64_t width = 0, ups = 0, upright = 0, turned = 0;
};

Column BestColumn(std::int64_t w, std::int64_t H, std::int64_t a, std::int64_t b) {
  const std::int64_t per_upright = w / a, per_turned = w / b;
  Column best{.width = w};
  // a upright rows and b turned rows are both a*b high, so in some best split the rows worth
  // less per a*b of height number fewer than that: only those need counting.
  const bool few_turned = a * per_upright >= b * per_turned;
  const std::int64_t step = few_turned ? a : b, other = few_turned ? b : a;
  const std::int64_t last = std::min(H / step, few_turned ? b - 1 : a - 1);
  for (std::int64_t n = 0; n <= last; ++n) {
    const std::int64_t m = (H - n * step) / other;
    const std::int64_t turned = few_turned ? n : m, upright = few_turned ? m : n;
    const std::int64_t ups = upright * per_upright + turned * per_turned;
    if (ups > best.ups) best = {.width = w, .ups = ups, .upright = upright, .turned = turned};
  }
  return best;
}

void AppendColumn(const Column& column, std::int64_t x, std::int64_t a, std::int64_t b,
                  std::vector<Block>& out) {
  if (column.upright > 0 && column.width / a > 0) {
    out.push_back({.x = x, .y = 0, .columns = column.width / a, .rows = column.upright});
  }
  if (column.turned > 0 && column.width / b > 0) {
    out.push_back({.x = x,
                   .y = column.upright * b,
                   .columns = column.width / b,
                   .rows = column.turned,
                   .turned = true});
  }
}

// Columns side by side along x; the narrower one on the left.
BandsLayout Across(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b,
                   std::int64_t bound, Deadline& deadline) {
  // A column's count changes only where its width reaches a multiple of a or of b, so those are
  // the widths to try on the left; the right column takes the rest. Nothing is stored: on a
  // huge sheet there are tens of millions of widths.
  Column best_left, best_right = BestColumn(X, Y, a, b);
  // The steps of one width: BestColumn's splits counted, for both columns.
  const std::int64_t steps = 2 * (std::min(Y / std::min(a, b), std::max(a, b)) + 1);
  for (std::int64_t ia = a, ib = b; 2 * std::min(ia, ib) <= X &&
                                    best_left.ups + best_right.ups < bound &&
                                    !deadline.Expired(steps);) {
    const std::int64_t w = std::min(ia, ib);
    if (ia == w) ia += a;
    if (ib == w) ib += b;
    const Column left = BestColumn(w, Y, a, b);
    const Column right = BestColumn(X - w, Y, a, b);
    if (left.ups + right.ups > best_left.ups + best_right.ups) best_left = left, best_right = right;
  }
  BandsLayout layout{.ups = best_left.ups + best_right.ups};
  AppendColumn(best_left, 0, a, b, layout.blocks);
  AppendColumn(best_right, best_left.width, a, b, layout.blocks);
  return layout;
}

}  // namespace

BandsLayout BestTwoColumnBands(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b,
                               std::int64_t bound, Deadline& deadline) {
  BandsLayout across = Across(X, Y, a, b, bound, deadline);
  if (across.ups >= bound) return across;
  BandsLayout stacked = Across(Y, X, a, b, bound, deadline);
  if (stacked.ups <= across.ups) return across;
  Transpose(stacked.blocks);
  return stacked;
}

}  // namespace sheetora::layout
