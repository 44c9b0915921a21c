// The plain packing problem that every request reduces to: identical rectangles in a rectangle.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/deadline.h"
#include "layout/geometry.h"
#include "layout/layout.h"

namespace sheetora::layout {

/// Rectangles a x b (a along x when upright) in an X x Y rectangle. Margins, bleed and gutter
/// are already folded in: X is the printable length plus the gutter, a the bled piece plus the
/// gutter, so rectangles simply may not overlap.
struct PackProblem {
  Micrometres X = 0, Y = 0, a = 0, b = 0;
  Orientation orientation = Orientation::kBoth;
  CutMode cut = CutMode::kGuillotine;
  Limits limits;  ///< cut the searches short; their step budgets end them anyway
};

struct PackResult {
  std::int64_t ups = 0;  ///< the sum of columns x rows over the blocks
  /// No layout of any kind (guillotine or not) in the same orientations holds more.
  std::int64_t bound = 0;
  /// The search proved that no guillotine layout holds more than `ups`.
  bool best_guillotine = false;
  /// Blocks of rectangles a apart along x and b along y (b and a when turned), non-overlapping,
  /// inside the X x Y rectangle.
  std::vector<Block> blocks;
  /// The searches ran to their end or their step budgets: nothing cut them short.
  bool complete = true;
};

/// The best layout the searches find within their step budgets (or before the limits cut them
/// short), with the best bound known. In guillotine mode the layout is guillotine-separable.
PackResult Pack(const PackProblem& problem);

}  // namespace sheetora::layout
