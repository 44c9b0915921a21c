// Layouts of two columns, each a band of upright rows and a band of turned rows: a family that
// holds the classic two-block and four-block layouts, found in time linear in the sheet, for
// sheets too large for the exact programmes.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/deadline.h"
#include "layout/geometry.h"

namespace sheetora::layout {

struct BandsLayout {
  std::int64_t ups = 0;
  std::vector<Block> blocks;
};

/// The best such layout, with the columns side by side along x or stacked along y; both
/// orientations allowed. Stops early (with the best so far) at the deadline or on reaching
/// `bound`.
BandsLayout BestTwoColumnBands(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b,
                               std::int64_t bound, Deadline& deadline);

}  // namespace sheetora::layout
