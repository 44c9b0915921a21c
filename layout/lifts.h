// The cut program as a guillotine operator works it: identical strips stacked and cut together.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout {

/// The operator's steps for a cut program: the program's stacks grouped by what they are (the
/// same size holding the same pieces and waste at the same places, so cut the same way), each
/// group cut in lifts of at most `max_stack` layers. The fewest knife cycles that stacking only
/// identical strips allows. Larger strips come first, so every layer exists before its lift.
std::vector<Lift> Lifts(const std::vector<CutNode>& cuts, int max_stack);

/// Knife cycles of a sequence: one per offset of each lift.
std::int64_t Cycles(const std::vector<Lift>& lifts);

}  // namespace sheetora::layout
