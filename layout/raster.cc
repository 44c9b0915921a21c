#include "layout/raster.h"

#include <algorithm>
#include <numeric>
#include <utility>

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
  std::vector<std::int64_t> points;
  points.reserve(static_cast<std::size_t>(count));
  for (std::int64_t j = 0; j <= last_j; ++j) {
    for (std::int64_t v = j * b; v <= limit; v += a) points.push_back(v);
  }
  std::sort(points.begin(), points.end());
  return RasterAxis(std::move(points), limit);
}

std::optional<RasterAxis> RasterAxis::FromSides(std::int64_t limit,
                                                const std::vector<std::int64_t>& sides,
                                                std::int64_t max_points) {
  // Every sum is a multiple of the sides' gcd: a table of reachable multiples, one slot each.
  std::int64_t unit = 0;
  for (const std::int64_t side : sides) unit = std::gcd(unit, side);
  constexpr std::int64_t kMaxSlots = std::int64_t{1} << 24;
  if (unit == 0 || limit / unit >= kMaxSlots) return std::nullopt;
  const std::int64_t slots = limit / unit + 1;
  std::vector<char> reached(static_cast<std::size_t>(slots), 0);
  reached[0] = 1;
  std::vector<std::int64_t> points;
  for (std::int64_t v = 0; v < slots; ++v) {
    if (reached[v] == 0) continue;
    points.push_back(v * unit);
    if (std::ssize(points) > max_points) return std::nullopt;
    for (const std::int64_t side : sides) {
      if (v + side / unit < slots) reached[v + side / unit] = 1;
    }
  }
  return RasterAxis(std::move(points), limit);
}

RasterAxis::RasterAxis(std::vector<std::int64_t> sorted_points, std::int64_t limit)
    : points_(std::move(sorted_points)) {
  // A table from lengths to points where the sides are short enough.
  constexpr std::int64_t kMaxTable = std::int64_t{1} << 22;
  if (limit <= kMaxTable) {
    floor_.resize(static_cast<std::size_t>(limit) + 1);
    std::int32_t index = 0;
    for (std::int64_t v = 0; v <= limit; ++v) {
      while (index + 1 < size() && points_[index + 1] <= v) ++index;
      floor_[v] = index;
    }
  }
}

int RasterAxis::Floor(std::int64_t length) const {
  if (!floor_.empty()) return floor_[length];
  return static_cast<int>(std::upper_bound(points_.begin(), points_.end(), length) -
                          points_.begin()) -
         1;
}

}  // namespace sheetora::layout
