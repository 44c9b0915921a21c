// Exhaustive search over layouts of any kind whose pieces have their corners at raster points
// (every layout can be pushed there): the lowest, then leftmost, open cell of the raster grid
// either gets a piece's corner, either way round, or stays empty. Exact, and exponential: it
// serves small and tight instances, under a step budget.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/deadline.h"
#include "layout/geometry.h"
#include "layout/raster.h"

namespace sheetora::layout {

class CornerSearch {
 public:
  /// The axes span the whole sheet (their last points are its sides) and must outlive the search.
  CornerSearch(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a, std::int64_t b);

  struct Outcome {
    /// Every layout was searched: none holds more than the blocks, or than the floor when
    /// there are none.
    bool complete = false;
    std::vector<Block> blocks;  ///< the best layout found; empty when none beat the floor
  };

  /// Looks for layouts with more than `floor` pieces, up to `bound` (a proven upper bound); each
  /// piece or empty cell tried is one step of the deadline.
  Outcome Run(std::int64_t floor, std::int64_t bound, Deadline& deadline);

 private:
  void Fill(std::size_t open);
  /// The area that must stay empty in row l from its open cell k on.
  [[nodiscard]] std::int64_t RowWaste(int k, int l) const;
  bool Fits(int k, int l, int k_end, int l_end) const;
  void Mark(int k, int l, int k_end, int l_end, std::uint8_t state);

  const RasterAxis& xs_;
  const RasterAxis& ys_;
  std::int64_t a_, b_;
  int columns_, rows_;               // cells between neighbouring raster points
  std::vector<std::uint8_t> taken_;  // by cell, row after row
  std::vector<std::size_t> emptied_;
  std::vector<Block> placed_, best_;  // placed_ in scan order, so by rising y
  // By row: a bound on the pieces that fit from that row up, where every piece placed after
  // the scan reached the row lies.
  std::vector<std::int64_t> from_row_;
  std::int64_t open_area_ = 0, best_ups_ = 0, bound_ = 0;
  bool stopped_ = false;
  Deadline* deadline_ = nullptr;
};

/// Joins 1 x 1 blocks that lie side by side along x into rows.
std::vector<Block> JoinRows(std::vector<Block> pieces, std::int64_t a, std::int64_t b);

}  // namespace sheetora::layout
