#include "layout/guillotine.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "layout/bounds.h"

namespace sheetora::layout {

void AppendGrid(std::int64_t x0, std::int64_t y0, std::int64_t x, std::int64_t y,
                std::int64_t along_x, std::int64_t along_y, bool turned, std::vector<Block>& out) {
  const std::int64_t columns = x / along_x, rows = y / along_y;
  if (columns > 0 && rows > 0) {
    out.push_back({.x = x0, .y = y0, .columns = columns, .rows = rows, .turned = turned});
  }
}

void Transpose(std::vector<Block>& blocks) {
  for (Block& block : blocks) {
    std::swap(block.x, block.y);
    std::swap(block.columns, block.rows);
    block.turned = !block.turned;
  }
}

GuillotineTable::GuillotineTable(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a,
                                 std::int64_t b)
    : xs_(xs), ys_(ys), a_(a), b_(b), same_points_(0) {
  while (same_points_ < std::min(xs.size(), ys.size()) && xs[same_points_] == ys[same_points_]) {
    ++same_points_;
  }
  const std::size_t cells = Index(xs.size() - 1, ys.size() - 1) + 1;
  value_.assign(cells, 0);
  // Not yet bounded, except the empty rectangles.
  bound_.assign(cells, std::numeric_limits<std::int64_t>::max());
  for (int i = 0; i < xs.size(); ++i) bound_[Index(i, 0)] = 0;
  for (int j = 0; j < ys.size(); ++j) bound_[Index(0, j)] = 0;
  choice_.assign(cells, kUpright);
}

void GuillotineTable::Tighten(int i, int j, std::int64_t bound) {
  bound_[Index(i, j)] = std::min(bound_[Index(i, j)], bound);
}

bool GuillotineTable::Solve(Deadline& deadline) {
  const int nx = xs_.size(), ny = ys_.size();
  for (int i = 1; i < nx; ++i) {
    const std::int64_t x = xs_[i];
    for (int j = 1; j < ny; ++j) {
      if (deadline.Expired()) return false;
      const std::int64_t y = ys_[j];
      const std::size_t at = Index(i, j);
      if (j < i && i < same_points_) {
        // A layout turned a quarter holds as many, either way round being allowed.
        value_[at] = value_[Index(j, i)];
        bound_[at] = std::min(bound_[at], bound_[Index(j, i)]);
        choice_[at] = kQuarterTurn;
        continue;
      }
      const std::int64_t upright = Grid(x, y, a_, b_), turned = Grid(x, y, b_, a_);
      std::int64_t best = std::max(upright, turned);
      std::int32_t choice = upright >= turned ? kUpright : kTurned;
      const std::int64_t bound = std::min(bound_[at], UpperBound(x, y, a_, b_));
      bound_[at] = bound;
      // Cuts up to half the side: the other half is the same cut seen from the far edge. The
      // far part is shrunk to its raster point, which loses nothing.
      for (int k = 1; best < bound && 2 * xs_[k] <= x; ++k) {
        const std::int64_t v = value_[Index(k, j)] + value_[Index(xs_.Floor(x - xs_[k]), j)];
        if (v > best) best = v, choice = k;
      }
      for (int k = 1; best < bound && 2 * ys_[k] <= y; ++k) {
        const std::int64_t v = value_[Index(i, k)] + value_[Index(i, ys_.Floor(y - ys_[k]))];
        if (v > best) best = v, choice = kCutY + k;
      }
      value_[at] = best;
      choice_[at] = choice;
    }
  }
  return true;
}

void GuillotineTable::Emit(int i, int j, std::int64_t x, std::int64_t y,
                           std::vector<Block>& out) const {
  // The near part of a cut is at most half the rectangle: recursing into it and looping on the
  // far part keeps the depth to the logarithm of the sheet.
  for (;;) {
    const std::int32_t choice = choice_[Index(i, j)];
    if (choice == kQuarterTurn) {
      std::vector<Block> turned;
      Emit(j, i, 0, 0, turned);
      Transpose(turned);
      for (Block& block : turned) {
        block.x += x, block.y += y;
        out.push_back(block);
      }
      return;
    }
    if (choice == kUpright || choice == kTurned) {
      const bool turned = choice == kTurned;
      AppendGrid(x, y, xs_[i], ys_[j], turned ? b_ : a_, turned ? a_ : b_, turned, out);
      return;
    }
    if (choice >= kCutY) {
      const int k = choice - kCutY;
      Emit(i, k, x, y, out);
      j = ys_.Floor(ys_[j] - ys_[k]);
      y += ys_[k];
    } else {
      Emit(choice, j, x, y, out);
      i = xs_.Floor(xs_[i] - xs_[choice]);
      x += xs_[choice];
    }
  }
}

}  // namespace sheetora::layout
