// Raster points: the lengths i*a + j*b. Every layout can be pushed left and down until each
// rectangle touches another or the edge, and then every corner and every guillotine cut lies at
// a raster point, so the searches only ever look at these lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace sheetora::layout {

/// The largest i*a + j*b (i, j >= 0) that is at most `limit`; a, b > 0, limit >= 0.
std::int64_t LargestRasterPoint(std::int64_t limit, std::int64_t a, std::int64_t b);

/// How many raster points lie from 0 to `limit`, counting no further than cap + 1.
std::int64_t RasterPointCount(std::int64_t limit, std::int64_t a, std::int64_t b, std::int64_t cap);

/// The sorted raster points from 0 to `limit`, with a map from any length up to `limit` to the
/// largest raster point below it.
class RasterAxis {
 public:
  /// nullopt when there would be more than `max_points` of them.
  static std::optional<RasterAxis> Build(std::int64_t limit, std::int64_t a, std::int64_t b,
                                         std::int64_t max_points);
  /// The sums of any of `sides` (each > 0, used any number of times) up to `limit`, for layouts
  /// of several kinds of piece; nullopt when there would be more than `max_points` of them.
  static std::optional<RasterAxis> FromSides(std::int64_t limit,
                                             const std::vector<std::int64_t>& sides,
                                             std::int64_t max_points);

  [[nodiscard]] const std::vector<std::int64_t>& points() const { return points_; }
  [[nodiscard]] int size() const { return static_cast<int>(points_.size()); }
  [[nodiscard]] std::int64_t operator[](int i) const { return points_[i]; }
  /// The index of the largest raster point at most `length` (0 <= length <= the limit).
  [[nodiscard]] int Floor(std::int64_t length) const;

 private:
  RasterAxis(std::vector<std::int64_t> sorted_points, std::int64_t limit);

  std::vector<std::int64_t> points_;
  std::vector<std::int32_t> floor_;  // by length, when the limit is small enough for a table
};

}  // namespace sheetora::layout
