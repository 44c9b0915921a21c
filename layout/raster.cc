#include "layout/raster.h"

#include <algorithm>
#include <numeric>

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

namespace {

// i*a + j*b with j up to this are all different and are all the raster points: a j of a / gcd
// or more gives the same sum as j - a / gcd with i + b / gcd.
std::int64_t LastMultipleOfB(std::int64_t limit, std::int64_t a, std::int64_t b) {
  return std::min(a / std::gcd(a, b) - 1, limit / b);
}

}  // namespace

std::int64_t RasterPointCount(std::int64_t limit, std::int64_t a, std::int64_t b,
                              std::int64_t cap) {
  const std::int64_t last_j = LastMultipleOfB(limit, a, b);
  std::int64_t count = 0;
  for (std::int64_t j = 0; j <= last_j && count <= cap; ++j) count += (limit - j * b) / a + 1;
  return std::min(count, cap + 1);
}

std::optional<RasterAxis> RasterAxis::Build(std::int64_t limit, std::int64_t a, std::int64_t b,
                                            std::int64_t max_points) {
  const std::int64_t count = RasterPointCount(limit, a, b, max_points);
  if (count > max_points) return std::nullopt;
  const std::int64_t last_j = LastMultipleOfB(limit, a, b);
  RasterAxis axis;
  axis.points_.reserve(static_cast<std::size_t>(count));
  for (std::int64_t j = 0; j <= last_j; ++j) {
    for (std::int64_t v = j * b; v <= limit; v += a) axis.points_.push_back(v);
  }
  std::sort(axis.points_.begin(), axis.points_.end());
  // A table from lengths to points where the sides are short enough.
  constexpr std::int64_t kMaxTable = std::int64_t{1} << 22;
  if (limit <= kMaxTable) {
    axis.floor_.resize(static_cast<std::size_t>(limit) + 1);
    std::int32_t index = 0;
    for (std::int64_t v = 0; v <= limit; ++v) {
      while (index + 1 < axis.size() && axis.points_[index + 1] <= v) ++index;
      axis.floor_[v] = index;
    }
  }
  return axis;
}

int RasterAxis::Floor(std::int64_t length) const {
  if (!floor_.empty()) return floor_[length];
  return static_cast<int>(std::upper_bound(points_.begin(), points_.end(), length) -
                          points_.begin()) -
         1;
}

}  // namespace sheetora::layout
