// Plates that print both sides of the sheet: work-and-turn and work-and-tumble print the fronts
// on one half and the backs on the other, so the engine plans a half and mirrors it.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout {

/// Whether one plate prints both sides (work-and-turn, work-and-tumble).
bool OnePlateBothSides(const Request& request);

/// What the engine plans: the request itself, or for one plate printing both sides the half at
/// the origin. Turned over left to right (turn), the half is the left one, its side margin the
/// larger of the two (either edge is the side lay once); head to tail (tumble), the lower one,
/// the gripper margin holding at both long edges. Toward the middle it keeps half the gutter,
/// so that a piece and its mirror image keep the whole gutter apart.
Request PlannedPart(const Request& request);

/// The blocks planned on PlannedPart on the whole sheet: the half's, then their mirror images
/// across x = L/2 (turn) or y = W/2 (tumble); the blocks themselves otherwise.
std::vector<Block> OnWholeSheet(const Request& request, std::vector<Block> planned);

}  // namespace sheetora::layout
