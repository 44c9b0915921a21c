#include "layout/guillotine.h"

#include <algorithm>
#include <limits>
#include <memory>
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
  // Left uninitialised: Solve fills the table in the order of its cells, so that a large table's
  // pages are touched only as the search reaches them, under its deadline, rather than all at
  // once before it (tens of milliseconds that no deadline would see).
  const std::size_t cells = Index(xs.size() - 1, ys.size() - 1) + 1;
  value_ = std::make_unique_for_overwrite<std::int64_t[]>(cells);
  bound_ = std::make_unique_for_overwrite<std::int64_t[]>(cells);
  choice_ = std::make_unique_for_overwrite<std::int32_t[]>(cells);
}

void GuillotineTable::TightenSheet(std::int64_t bound) {
  sheet_bound_ = std::min(sheet_bound_, bound);
}

bool GuillotineTable::Solve(Deadline& deadline) {
  const int nx = xs_.size(), ny = ys_.size();
  const auto empty = [&](int i, int j) {
    value_[Index(i, j)] = bound_[Index(i, j)] = 0;
    choice_[Index(i, j)] = kUpright;
  };
  for (int j = 0; j < ny; ++j) empty(0, j);
  std::int64_t steps = 1;  // the cuts tried for the rectangle before, and itself
  for (int i = 1; i < nx; ++i) {
    const std::int64_t x = xs_[i];
    empty(i, 0);
    for (int j = 1; j < ny; ++j) {
      if (deadline.Expired(steps)) return false;
      steps = 1;
      const std::int64_t y = ys_[j];
      const std::size_t at = Index(i, j);
      const std::int64_t known =
          i == nx - 1 && j == ny - 1 ? sheet_bound_ : std::numeric_limits<std::int64_t>::max();
      if (j < i && i < same_points_) {
        // A layout turned a quarter holds as many, either way round being allowed.
        value_[at] = value_[Index(j, i)];
        bound_[at] = std::min(known, bound_[Index(j, i)]);
        choice_[at] = kQuarterTurn;
        continue;
      }
      const std::int64_t upright = Grid(x, y, a_, b_), turned = Grid(x, y, b_, a_);
      std::int64_t best = std::max(upright, turned);
      std::int32_t choice = upright >= turned ? kUpright : kTurned;
      const std::int64_t bound = std::min(known, UpperBound(x, y, a_, b_));
      bound_[at] = bound;
      // Cuts up to half the side: the other half is the same cut seen from the far edge. The
      // far part is shrunk to its raster point, which loses nothing.
      for (int k = 1; best < bound && 2 * xs_[k] <= x; ++k, ++steps) {
        const std::int64_t v = value_[Index(k, j)] + value_[Index(xs_.Floor(x - xs_[k]), j)];
        if (v > best) best = v, choice = k;
      }
      for (int k = 1; best < bound && 2 * ys_[k] <= y; ++k, ++steps) {
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
