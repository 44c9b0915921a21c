// The plain packing problem that every request reduces to: identical rectangles in a rectangle.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout {

using Clock = std::chrono::steady_clock;

enum class Orientation {
  kBoth,     ///< a x b or b x a
  kUpright,  ///< a along x only
  kTurned,   ///< b along x only
};

/// Rectangles a x b (a along x when upright) in an X x Y rectangle. Margins, bleed and gutter
/// are already folded in: X is the printable length plus the gutter, a the bled piece plus the
/// gutter, so rectangles simply may not overlap.
struct PackProblem {
  Micrometres X = 0, Y = 0, a = 0, b = 0;
  Orientation orientation = Orientation::kBoth;
  CutMode cut = CutMode::kGuillotine;
  Clock::time_point deadline = Clock::time_point::max();
};

/// columns x rows rectangles, the first with its corner at (x, y), the others a apart along x
/// and b along y (b and a when turned).
struct PackBlock {
  Micrometres x = 0, y = 0;
  std::int64_t columns = 0, rows = 0;
  bool turned = false;
};

struct PackResult {
  std::int64_t ups = 0;  ///< the sum of columns x rows over the blocks
  /// No layout of any kind (guillotine or not) in the same orientations holds more.
  std::int64_t bound = 0;
  /// The search proved that no guillotine layout holds more than `ups`.
  bool best_guillotine = false;
  std::vector<PackBlock> blocks;  ///< non-overlapping, inside the X x Y rectangle
};

/// The best layout found before the deadline, with the best bound known. In guillotine mode the
/// layout is guillotine-separable.
PackResult Pack(const PackProblem& problem);

}  // namespace sheetora::layout
