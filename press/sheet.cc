#include "press/sheet.h"

#include <cstdio>

namespace sheetora::press {
namespace {

using layout::Micrometres;

/// Turned over left to right: x runs the other way.
TrimRect MirrorX(const TrimRect& r, Micrometres length) {
  return {length - r.x_end(), r.y, r.length, r.width};
}

/// A front's artwork is upright, or a quarter counter-clockwise on a turned piece. Its head
/// (the artwork's up) then points along +y or -x; the back's head must point to the same edge
/// of the paper, seen from the other side: a left-right turn flips x, a head-to-tail turn y.
int BackQuarterTurns(bool turned, bool flips_x) {
  if (flips_x) return turned ? 3 : 0;
  return turned ? 1 : 2;
}

}  // namespace

std::string Num(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  std::string text(buffer);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string PsString(std::string_view text) {
  std::string out = "(";
  for (const char c : text) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return out + ")";
}

std::vector<TrimRect> TrimRects(const layout::Request& request,
                                const std::vector<layout::Block>& blocks) {
  const layout::Spacing spacing = layout::SpacingOf(request);
  std::vector<TrimRect> rects;
  for (const layout::Block& b : blocks) {
    for (std::int64_t j = 0; j < b.rows; ++j) {
      for (std::int64_t i = 0; i < b.columns; ++i) rects.push_back(spacing.TrimRect(b, i, j));
    }
  }
  return rects;
}

TrimRect Bled(const TrimRect& trim, Micrometres bleed) {
  return {trim.x - bleed, trim.y - bleed, trim.length + 2 * bleed, trim.width + 2 * bleed};
}

int ArtworkPagesNeeded(const layout::Request& request) {
  return request.sides == layout::Sides::kSingle ? 1 : 2;
}

std::vector<PrintedSide> PrintedSides(const layout::Request& request,
                                      const layout::Answer& answer) {
  const Micrometres L = request.sheet.length, W = request.sheet.width;
  std::vector<std::pair<TrimRect, bool>> pieces;  // trim, turned
  for (const layout::Block& block : answer.blocks) {
    for (const TrimRect& r : TrimRects(request, {block})) pieces.emplace_back(r, block.turned);
  }
  const Micrometres bleed = request.bleed;
  const auto front = [&](const TrimRect& r, bool turned) {
    return Placement{r, 0, turned ? 1 : 0, bleed};
  };
  std::vector<PrintedSide> sides;
  switch (request.sides) {
    case layout::Sides::kSingle: {
      PrintedSide& side = sides.emplace_back(PrintedSide{"front", {}});
      for (const auto& [r, turned] : pieces) side.placements.push_back(front(r, turned));
      break;
    }
    case layout::Sides::kSheetwise: {
      PrintedSide& fronts = sides.emplace_back(PrintedSide{"front", {}});
      for (const auto& [r, turned] : pieces) fronts.placements.push_back(front(r, turned));
      PrintedSide& backs = sides.emplace_back(PrintedSide{"back", {}});
      for (const auto& [r, turned] : pieces) {
        backs.placements.push_back({MirrorX(r, L), 1, BackQuarterTurns(turned, true), bleed});
      }
      break;
    }
    case layout::Sides::kWorkAndTurn:
    case layout::Sides::kWorkAndTumble: {
      // The engine planned the half at the origin and mirrored it: the first half holds the
      // fronts, the mirrored half their backs.
      const bool turn = request.sides == layout::Sides::kWorkAndTurn;
      PrintedSide& plate =
          sides.emplace_back(PrintedSide{turn ? "work-and-turn" : "work-and-tumble", {}});
      for (const auto& [r, turned] : pieces) {
        const bool first_half = turn ? r.x + r.x_end() <= L : r.y + r.y_end() <= W;
        plate.placements.push_back(
            first_half ? front(r, turned) : Placement{r, 1, BackQuarterTurns(turned, turn), bleed});
      }
      break;
    }
  }
  return sides;
}

layout::Request ItemRequest(const layout::gang::GangRequest& request, int item) {
  const layout::gang::GangItem& it = request.items[static_cast<std::size_t>(item)];
  return {.sheet = request.sheet,
          .piece = it.piece,
          .bleed = it.bleed.value_or(request.bleed),
          .gutter = request.gutter,
          .margins = request.margins};
}

std::vector<PrintedSide> GangPrintedSides(const layout::gang::GangRequest& request,
                                          const layout::gang::GangAnswer& answer) {
  std::vector<PrintedSide> sides;
  for (const layout::gang::GangLayout& gang_layout : answer.layouts) {
    PrintedSide& side = sides.emplace_back(PrintedSide{"front", {}});
    for (const layout::gang::GangBlock& b : gang_layout.blocks) {
      const layout::Request item = ItemRequest(request, b.item);
      for (const TrimRect& r : TrimRects(item, {b.block})) {
        side.placements.push_back({r, 0, b.block.turned ? 1 : 0, item.bleed, b.item});
      }
    }
  }
  return sides;
}

}  // namespace sheetora::press
