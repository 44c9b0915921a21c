#include "layout/sides.h"

#include <algorithm>

namespace sheetora::layout {

bool OnePlateBothSides(const Request& request) {
  return request.sides == Sides::kWorkAndTurn || request.sides == Sides::kWorkAndTumble;
}

Request PlannedPart(const Request& request) {
  Request part = request;
  const Micrometres half_gutter = (request.gutter + 1) / 2;
  Margins& m = part.margins;
  if (request.sides == Sides::kWorkAndTurn) {
    part.sheet.length = request.sheet.length / 2;
    m.left = std::max(m.left, m.right);
    m.right = half_gutter;
  } else if (request.sides == Sides::kWorkAndTumble) {
    part.sheet.width = request.sheet.width / 2;
    m.gripper = std::max(m.gripper, m.tail);
    m.tail = half_gutter;
  }
  return part;
}

std::vector<Block> OnWholeSheet(const Request& request, std::vector<Block> planned) {
  if (!OnePlateBothSides(request)) return planned;
  const Spacing spacing = SpacingOf(request);
  const bool turn = request.sides == Sides::kWorkAndTurn;
  const std::size_t half = planned.size();
  for (std::size_t i = 0; i < half; ++i) {
    Block mirror = planned[i];
    // The last piece's far trim edge, seen from the other edge of the sheet.
    const Rect last = spacing.TrimRect(mirror, mirror.columns - 1, mirror.rows - 1);
    if (turn) {
      mirror.x = request.sheet.length - last.x_end();
    } else {
      mirror.y = request.sheet.width - last.y_end();
    }
    planned.push_back(mirror);
  }
  return planned;
}

}  // namespace sheetora::layout
