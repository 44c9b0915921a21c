// The guillotine operator's program: the tree of straight cuts that takes a layout apart.
#pragma once

#include <optional>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout {

/// The cut program of the request's layout `blocks`, found from their geometry alone, so it
/// holds for any guillotine layout whoever found it. Nodes come in the order the operator works:
/// the sheet first, then each round of cuts breadth first, so strips come before their pieces.
/// Nothing when the layout does not come apart by edge-to-edge cuts (a fault of its maker).
std::optional<std::vector<CutNode>> CutProgram(const Request& request,
                                               const std::vector<Block>& blocks);

/// The same for any pieces' trim rectangles on a sheet, whatever their sizes (gang layouts).
std::optional<std::vector<CutNode>> CutProgram(const Size& sheet, const std::vector<Rect>& pieces);

}  // namespace sheetora::layout
