// The plain problem a gang request reduces to, as the single-piece engine's does: each item's
// cell is its bled piece grown by the gutter, in the printable area grown by the gutter, and
// cells simply may not overlap. Patterns (sheet layouts) are blocks of cells.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/gang.h"
#include "layout/geometry.h"
#include "layout/raster.h"

namespace sheetora::layout::gang {

/// One way an item's cell may lie: its sides along x and y.
struct Shape {
  int item = 0;
  bool turned = false;
  Micrometres x = 0, y = 0;
};

struct Model {
  Micrometres X = 0, Y = 0;  ///< the printable area grown by the gutter
  CutMode cut = CutMode::kGuillotine;
  std::vector<Shape> shapes;           ///< every allowed way of every item, by item
  std::vector<std::int64_t> quantity;  ///< by item
  std::vector<double> cell_area;       ///< by item, in square micrometres
  /// The most area cells can cover: a line across the area crosses cells whose sides along it
  /// sum to at most the longest such sum that fits, so the cover is at most that times the
  /// other side (the lesser of the two ways).
  double usable_area = 0;
  /// By item, the most cells of it any layout holds: all of them lie within the longest sums
  /// of its own sides along x and y.
  std::vector<std::int64_t> most_cells;

  [[nodiscard]] int items() const { return static_cast<int>(quantity.size()); }
};

/// How an item's pieces repeat: its piece, its bleed (or the request's) and the gutter.
Spacing SpacingOf(const GangRequest& request, int item);

Model Reduce(const GangRequest& request);

/// The raster points of every shape's sides along x (or y) up to the area's side: where any
/// layout's cells and cuts lie. nullopt beyond `max_points` of them.
std::optional<RasterAxis> SidesAxis(const Model& model, bool along_x, std::int64_t max_points);

/// columns x rows cells of one shape, the first with its corner at (x, y) of the plain problem.
struct CellBlock {
  int shape = 0;
  Micrometres x = 0, y = 0;
  std::int64_t columns = 0, rows = 0;
  bool operator==(const CellBlock&) const = default;
};

/// One sheet layout: its blocks and the pieces of each item it holds.
struct Pattern {
  std::vector<CellBlock> blocks;
  std::vector<std::int64_t> count;  ///< by item
  bool operator==(const Pattern& other) const {
    return count == other.count && blocks == other.blocks;
  }
};

/// Counts the pieces of each item in `blocks`.
Pattern MakePattern(const Model& model, std::vector<CellBlock> blocks);

/// The value of a pattern at a price per piece of each item.
double Value(const Pattern& pattern, const std::vector<double>& values);

/// Whether the blocks lie inside the area without overlapping (the check every pattern passes
/// before it is answered; quadratic in the blocks, which stay few).
bool Fits(const Model& model, const std::vector<CellBlock>& blocks);

}  // namespace sheetora::layout::gang
