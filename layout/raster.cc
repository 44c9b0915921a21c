#include "layout/raster.h"

#include <algorithm>

namespace sheetora::layout {

std::int64_t LargestRasterPoint(std::int64_t limit, std::int64_t a, std::int64_t b) {
  // j*b with j >= a equals (j - a)*b + b*a, so j < a suffices; loop over the shorter range.
  if (std::min(limit / b, a - 1) > std::min(limit / a, b - 1)) std::swap(a, b);
  std::int64_t best = 0;
  const std::int64_t last = std::min(limit / b, a - 1);
  for (std::int64_t j = 0; j <= last && best < limit; ++j) {
    const std::int64_t rest = limit - j * b;
    best = std::max(best, j * b + rest / a * a);
  }
  return best;
}

std::optional<RasterAxis> RasterAxis::Build(std::int64_t limit, std::int64_t a, std::int64_t b,
                                            std::size_t max_points) {
  // Every multiple of the shorter side is a raster point.
  if (limit / std::min(a, b) >= static_cast<std::int64_t>(max_points)) return std::nullopt;
  RasterAxis axis;
  constexpr std::int64_t kMaxTable = std::int64_t{1} << 22;
  if (limit <= kMaxTable) {
    // One pass over the lengths: v is a raster point when v - a or v - b is one.
    std::vector<bool> reach(static_cast<std::size_t>(limit) + 1);
    axis.floor_.resize(reach.size());
    std::int32_t last = -1;
    for (std::int64_t v = 0; v <= limit; ++v) {
      reach[v] = v == 0 || (v >= a && reach[v - a]) || (v >= b && reach[v - b]);
      if (reach[v]) {
        if (axis.points_.size() == max_points) return std::nullopt;
        axis.points_.push_back(v);
        ++last;
      }
      axis.floor_[v] = last;
    }
    return axis;
  }
  if (a > b) std::swap(a, b);
  // Sides too long for a table: enumerate the sums, which are few when the pieces are not tiny.
  for (std::int64_t j = 0; j * b <= limit; ++j) {
    for (std::int64_t v = j * b; v <= limit; v += a) {
      if (axis.points_.size() == 4 * max_points) return std::nullopt;
      axis.points_.push_back(v);
    }
  }
  std::sort(axis.points_.begin(), axis.points_.end());
  axis.points_.erase(std::unique(axis.points_.begin(), axis.points_.end()), axis.points_.end());
  if (axis.points_.size() > max_points) return std::nullopt;
  return axis;
}

int RasterAxis::Floor(std::int64_t length) const {
  if (!floor_.empty()) return floor_[length];
  return static_cast<int>(std::upper_bound(points_.begin(), points_.end(), length) -
                          points_.begin()) -
         1;
}

}  // namespace sheetora::layout
