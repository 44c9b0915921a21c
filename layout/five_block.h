// Non-guillotine layouts by recursive partitioning: a rectangle is one grid, two parts of a
// straight cut, or five blocks around a centre block (a pinwheel), each part solved the same way.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "layout/deadline.h"
#include "layout/guillotine.h"

namespace sheetora::layout {

class FiveBlockSearch {
 public:
  /// Starts from the guillotine optimum of every rectangle; `guillotine` must be solved and
  /// outlive the search. Solve recurses as deep as the table is long plus wide.
  explicit FiveBlockSearch(const GuillotineTable& guillotine);

  /// The best layout found for rectangle (i, j); a layout, but not proven best when the
  /// deadline stopped the search. Each partition tried is a step of the deadline.
  std::int64_t Solve(int i, int j, Deadline& deadline);

  /// Appends the blocks of the layout Solve found for (i, j), with its corner at (x, y).
  void Emit(int i, int j, std::int64_t x, std::int64_t y, std::vector<Block>& out) const;

 private:
  enum class Kind : std::int8_t { kGuillotine, kCutX, kCutY, kPinwheel };
  struct Entry {
    std::int64_t value = 0;
    Kind kind = Kind::kGuillotine;
    std::int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;  // raster indices of the cut lines
  };
  // One part of a partition: a rectangle by its raster indices, placed at an offset.
  struct Part {
    int i, j;
    std::int64_t x, y;
  };

  [[nodiscard]] std::size_t Index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(ys_.size()) +
           static_cast<std::size_t>(j);
  }
  // The five blocks of rectangle (i, j) cut at xs[x1] < xs[x2] and ys[y1] < ys[y2]: lower left
  // x1 wide up to y2, lower right from x1 up to y1, upper right from x2 above y1, upper left up
  // to x2 above y2, and the centre.
  [[nodiscard]] std::array<Part, 5> Pinwheel(int i, int j, const Entry& cuts) const;
  void TryPinwheels(int i, int j, Entry& entry, Deadline& deadline);

  const GuillotineTable& guillotine_;
  const RasterAxis& xs_;
  const RasterAxis& ys_;
  std::int64_t area_;              // of one piece
  std::unique_ptr<Entry[]> memo_;  // by Index
  std::vector<bool> solved_;       // by Index: the entries Solve has filled
};

}  // namespace sheetora::layout
