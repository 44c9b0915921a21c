// The geometry check of an engine answer against its request, used by every layout test.
#pragma once

#include <string>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout::testing {

/// Every fault of `answer` for `request`, in plain words; empty when the answer is sound:
/// pieces with their bleed inside the printable area, the gutter kept between bled pieces, the
/// grain kept, blocks adding up to ups, ups within the bound, the proof consistent, and the cut
/// program (present exactly when it must be) replaying to exactly the layout's pieces, one
/// round of cuts after another.
std::vector<std::string> CheckAnswer(const Request& request, const Answer& answer);

/// The faults of a cut program alone for a sheet and its blocks' trim rectangles.
std::vector<std::string> CheckCuts(const Request& request, const std::vector<Block>& blocks,
                                   const std::vector<CutNode>& cuts);

}  // namespace sheetora::layout::testing
