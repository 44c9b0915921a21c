// What each printed side of an imposed sheet carries: every piece's trim rectangle, which
// artwork page it takes and how that page is turned. Shared by the imposed PDF and its tests.
//
// The coordinates are the layout's: origin at the sheet's lower-left corner, x to the right
// along the sheet's length, y up along its width, the gripper edge at the bottom.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/gang/gang.h"
#include "layout/layout.h"

namespace sheetora::press {

using TrimRect = layout::Rect;

/// Micrometres as points.
inline double Points(layout::Micrometres length) {
  return static_cast<double>(length) * 72.0 / 25'400.0;
}

/// A number as our press files write it: at most 4 decimals, no trailing zeros.
std::string Num(double value);

/// A PostScript (and PDF) string literal of printable ASCII; anything else becomes '?'.
std::string PsString(std::string_view text);

/// One piece's artwork on one side.
struct Placement {
  TrimRect trim;
  int artwork = 0;        ///< 0: the front page, 1: the back page
  int quarter_turns = 0;  ///< the artwork turned this many quarters counter-clockwise
  layout::Micrometres bleed = 0;
  int item = 0;  ///< whose artwork: a gang's item, 0 for a one-piece layout
};

/// One page of the imposed sheet.
struct PrintedSide {
  std::string_view name;  ///< "front", "back" or the one plate of work-and-turn or -tumble
  std::vector<Placement> placements;
};

/// The trim rectangles of a layout's pieces, block by block, row by row.
std::vector<TrimRect> TrimRects(const layout::Request& request,
                                const std::vector<layout::Block>& blocks);

/// The bled rectangle around a trim rectangle.
TrimRect Bled(const TrimRect& trim, layout::Micrometres bleed);

/// The pages of the imposed sheet for a layout. A back registers with its front: the sheet is
/// turned over left to right (sheetwise, work-and-turn) or head to tail (work-and-tumble), so the
/// back's position is the front's mirrored across the sheet, and its artwork turned so that its
/// head lies at the same edge of the paper as the front's head.
std::vector<PrintedSide> PrintedSides(const layout::Request& request, const layout::Answer& answer);

/// The pages of a gang's imposed sheets: each layout's front, one after the other. A gang
/// prints one side (its request has no sides), so each item's page 1 is its artwork.
std::vector<PrintedSide> GangPrintedSides(const layout::gang::GangRequest& request,
                                          const layout::gang::GangAnswer& answer);

/// One gang item's pieces as a one-piece layout request on the gang's sheet: its piece, its
/// bleed, the gang's gutter and margins.
layout::Request ItemRequest(const layout::gang::GangRequest& request, int item);

/// How many artwork pages a request needs: 1 for single-sided work, 2 otherwise.
int ArtworkPagesNeeded(const layout::Request& request);

}  // namespace sheetora::press
