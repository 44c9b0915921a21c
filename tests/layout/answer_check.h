// The geometry check of an engine answer against its request, used by every layout test.
#pragma once

#include <string>
#include <vector>

#include "layout/gang/gang.h"
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

/// Every fault of a gang plan for its request: each layout's pieces as CheckAnswer checks one
/// layout's (each item with its own sides, bleed and grain), its cut program with every piece
/// leaf naming its item, and the plan's arithmetic worked out again here: pieces produced, run
/// and press sheets, cost, the layouts allowed, the bound at most the cost and the proof.
std::vector<std::string> CheckGangAnswer(const gang::GangRequest& request,
                                         const gang::GangAnswer& answer);

}  // namespace sheetora::layout::testing
