#include "layout/pack.h"

namespace sheetora::layout {

// A first solver: the better single-orientation grid. The exact searches replace it.
PackResult Pack(const PackProblem& problem) {
  PackResult best;
  for (const bool turned : {false, true}) {
    if (turned ? problem.orientation == Orientation::kUpright
               : problem.orientation == Orientation::kTurned) {
      continue;
    }
    const Micrometres along_x = turned ? problem.b : problem.a;
    const Micrometres along_y = turned ? problem.a : problem.b;
    const std::int64_t columns = problem.X / along_x, rows = problem.Y / along_y;
    if (columns * rows > best.ups) {
      best.ups = columns * rows;
      best.blocks = {{.columns = columns, .rows = rows, .turned = turned}};
    }
  }
  // The area bound.
  best.bound = static_cast<std::int64_t>(static_cast<__int128>(problem.X) * problem.Y /
                                         (static_cast<__int128>(problem.a) * problem.b));
  return best;
}

}  // namespace sheetora::layout
