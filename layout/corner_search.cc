#include "layout/corner_search.h"

#include <algorithm>
#include <tuple>

#include "layout/bounds.h"

namespace sheetora::layout {

CornerSearch::CornerSearch(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a,
                           std::int64_t b)
    : xs_(xs), ys_(ys), a_(a), b_(b), columns_(xs.size() - 1), rows_(ys.size() - 1) {
  for (int l = 0; l < rows_; ++l) {
    from_row_.push_back(
        SheetBound(xs[columns_], LargestRasterPoint(ys[rows_] - ys[l], a, b), a, b));
  }
}

CornerSearch::Outcome CornerSearch::Run(std::int64_t floor, std::int64_t bound,
                                        Deadline& deadline) {
  taken_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
  emptied_.clear();
  placed_.clear();
  best_.clear();
  open_area_ = xs_[columns_] * ys_[rows_];
  best_ups_ = floor;
  bound_ = bound;
  stopped_ = false;
  deadline_ = &deadline;
  if (floor < bound) Fill(0);
  return {.complete = !stopped_ || best_ups_ >= bound, .blocks = JoinRows(best_, a_, b_)};
}

bool CornerSearch::Fits(int k, int l, int k_end, int l_end) const {
  for (int row = l; row < l_end; ++row) {
    const auto* cell = &taken_[static_cast<std::size_t>(row) * columns_];
    if (std::any_of(cell + k, cell + k_end, [](std::uint8_t t) { return t != 0; })) return false;
  }
  return true;
}

void CornerSearch::Mark(int k, int l, int k_end, int l_end, std::uint8_t state) {
  for (int row = l; row < l_end; ++row) {
    auto* cell = &taken_[static_cast<std::size_t>(row) * columns_];
    std::fill(cell + k, cell + k_end, state);
  }
}

std::int64_t CornerSearch::RowWaste(int k, int l) const {
  // Only pieces with their corners in this row can still reach its open cells, so each run of
  // open cells is covered at most up to the largest raster point within its length.
  const std::uint8_t* row = &taken_[static_cast<std::size_t>(l) * columns_];
  std::int64_t waste = 0;
  for (int start = k; start < columns_;) {
    int end = start;
    while (end < columns_ && row[end] == 0) ++end;
    const std::int64_t run = xs_[end] - xs_[start];
    waste += run - xs_[xs_.Floor(run)];
    start = end + 1;
    while (start < columns_ && row[start] != 0) ++start;
  }
  return waste * (ys_[l + 1] - ys_[l]);
}

void CornerSearch::Fill(std::size_t open) {
  const std::int64_t area = a_ * b_, placed = static_cast<std::int64_t>(placed_.size());
  const std::size_t emptied_before = emptied_.size();
  const std::int64_t open_area_before = open_area_;
  // Leaving a cell empty continues the loop here rather than recursing, so the depth of the
  // recursion is the number of pieces.
  for (;;) {
    while (open < taken_.size() && taken_[open] != 0) ++open;
    if (open == taken_.size()) {
      if (placed > best_ups_) best_ups_ = placed, best_ = placed_;
      break;
    }
    if (placed + open_area_ / area <= best_ups_ || best_ups_ >= bound_ || stopped_) break;
    if (deadline_->Expired()) {
      stopped_ = true;
      break;
    }
    const int k = static_cast<int>(open % columns_), l = static_cast<int>(open / columns_);
    const auto below = std::lower_bound(placed_.begin(), placed_.end(), ys_[l],
                                        [](const Block& p, std::int64_t y) { return p.y < y; });
    if ((below - placed_.begin()) + from_row_[l] <= best_ups_) break;
    if (placed + (open_area_ - RowWaste(k, l)) / area <= best_ups_) break;
    for (const bool turned : {false, true}) {
      const std::int64_t x_end = xs_[k] + (turned ? b_ : a_), y_end = ys_[l] + (turned ? a_ : b_);
      if (x_end > xs_[columns_] || y_end > ys_[rows_]) continue;
      // Both ends are raster points, so they are cell boundaries.
      const int k_end = xs_.Floor(x_end), l_end = ys_.Floor(y_end);
      if (!Fits(k, l, k_end, l_end)) continue;
      Mark(k, l, k_end, l_end, 1);
      placed_.push_back({.x = xs_[k], .y = ys_[l], .columns = 1, .rows = 1, .turned = turned});
      open_area_ -= area;
      Fill(open + 1);
      open_area_ += area;
      placed_.pop_back();
      Mark(k, l, k_end, l_end, 0);
    }
    taken_[open] = 2;
    emptied_.push_back(open);
    open_area_ -= (xs_[k + 1] - xs_[k]) * (ys_[l + 1] - ys_[l]);
  }
  for (std::size_t n = emptied_before; n < emptied_.size(); ++n) taken_[emptied_[n]] = 0;
  emptied_.resize(emptied_before);
  open_area_ = open_area_before;
}

std::vector<Block> JoinRows(std::vector<Block> pieces, std::int64_t a, std::int64_t b) {
  std::sort(pieces.begin(), pieces.end(), [](const Block& p, const Block& q) {
    return std::tie(p.turned, p.y, p.x) < std::tie(q.turned, q.y, q.x);
  });
  std::vector<Block> rows;
  for (const Block& piece : pieces) {
    if (!rows.empty()) {
      Block& last = rows.back();
      if (last.turned == piece.turned && last.y == piece.y &&
          last.x + last.columns * (piece.turned ? b : a) == piece.x) {
        ++last.columns;
        continue;
      }
    }
    rows.push_back(piece);
  }
  return rows;
}

}  // namespace sheetora::layout
