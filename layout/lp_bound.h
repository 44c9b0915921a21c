// An upper bound from the linear relaxation of the raster set-packing model, for the sheets where
// the closed-form bounds stay above the best layout found.
#pragma once

#include <cstdint>
#include <optional>

#include "layout/deadline.h"
#include "layout/raster.h"

namespace sheetora::layout {

struct LpBound {
  std::optional<std::int64_t> bound;
  bool cut_short = false;  ///< the limits stopped the solver
};

/// One variable per raster position and orientation of an a x b piece inside the xs x ys
/// rectangle (its sides the last raster points), at most one chosen piece over each raster
/// point, the most pieces in total: the floor of this programme's optimum bounds every layout,
/// since any layout can be pushed onto raster positions. No bound when the model would be larger
/// than the cap or the solver does not reach a proven optimum within `max_iterations` (or the
/// limits, which cut it short).
LpBound RasterLpBound(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a, std::int64_t b,
                      int max_iterations, const Limits& limits);

}  // namespace sheetora::layout
