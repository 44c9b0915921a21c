// The exact guillotine optimum: a dynamic programme over rectangles whose sides are raster points.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "layout/deadline.h"
#include "layout/geometry.h"
#include "layout/raster.h"

namespace sheetora::layout {

/// Best guillotine layouts of a x b pieces (either way round) in every rectangle xs[i] x ys[j].
class GuillotineTable {
 public:
  /// The axes must outlive the table.
  GuillotineTable(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a, std::int64_t b);

  /// Lowers the bound of the whole rectangle, before Solve, to one proven elsewhere.
  void TightenSheet(std::int64_t bound);

  /// Fills the table (no value may be read before), smaller rectangles first, each cut tried a step
  /// of the deadline; false when the deadline stopped it (the values then hold only for the
  /// rectangles already done).
  bool Solve(Deadline& deadline);

  [[nodiscard]] std::int64_t Value(int i, int j) const { return value_[Index(i, j)]; }
  /// UpperBound of the rectangle, kept from the programme.
  [[nodiscard]] std::int64_t Bound(int i, int j) const { return bound_[Index(i, j)]; }
  [[nodiscard]] const RasterAxis& xs() const { return xs_; }
  [[nodiscard]] const RasterAxis& ys() const { return ys_; }
  [[nodiscard]] std::int64_t a() const { return a_; }
  [[nodiscard]] std::int64_t b() const { return b_; }

  /// Appends the blocks of the best layout of rectangle (i, j) with its corner at (x, y).
  void Emit(int i, int j, std::int64_t x, std::int64_t y, std::vector<Block>& out) const;

 private:
  // How a rectangle's best layout is made: one grid, or a cut at xs[k] (ys[k]) and two parts.
  // kQuarterTurn: the rectangle (j, i) turned, when both axes hold the same points.
  enum Choice : std::int32_t { kUpright = -1, kTurned = -2, kQuarterTurn = -3 };
  static constexpr std::int32_t kCutY = 1 << 30;  // added to k for a cut across y

  [[nodiscard]] std::size_t Index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(ys_.size()) +
           static_cast<std::size_t>(j);
  }

  const RasterAxis& xs_;
  const RasterAxis& ys_;
  std::int64_t a_, b_;
  int same_points_;                                // how many first points the axes share
  std::unique_ptr<std::int64_t[]> value_, bound_;  // by Index, filled by Solve
  std::unique_ptr<std::int32_t[]> choice_;
  std::int64_t sheet_bound_ = std::numeric_limits<std::int64_t>::max();
};

/// A block of one grid filling x x y with its corner at (x0, y0); nothing when none fits.
void AppendGrid(std::int64_t x0, std::int64_t y0, std::int64_t x, std::int64_t y,
                std::int64_t along_x, std::int64_t along_y, bool turned, std::vector<Block>& out);

/// Blocks found with x and y swapped, as they lie here: an upright piece there lies turned here.
void Transpose(std::vector<Block>& blocks);

}  // namespace sheetora::layout
