#include "layout/gang/model.h"

#include <algorithm>
#include <utility>

#include "layout/raster.h"

namespace sheetora::layout::gang {
namespace {

constexpr std::int64_t kMaxUsablePoints = 1 << 16;

}  // namespace

Spacing SpacingOf(const GangRequest& request, int item) {
  const GangItem& it = request.items[static_cast<std::size_t>(item)];
  return {.piece = it.piece, .bleed = it.bleed.value_or(request.bleed), .gutter = request.gutter};
}

std::optional<RasterAxis> SidesAxis(const Model& model, bool along_x, std::int64_t max_points) {
  std::vector<std::int64_t> sides;
  for (const Shape& s : model.shapes) sides.push_back(along_x ? s.x : s.y);
  return RasterAxis::FromSides(along_x ? model.X : model.Y, sides, max_points);
}

Model Reduce(const GangRequest& request) {
  const Margins& m = request.margins;
  Model model{.X = request.sheet.length - m.left - m.right + request.gutter,
              .Y = request.sheet.width - m.gripper - m.tail + request.gutter,
              .cut = request.cut};
  for (int i = 0; i < std::ssize(request.items); ++i) {
    const GangItem& item = request.items[static_cast<std::size_t>(i)];
    const Spacing spacing = SpacingOf(request, i);
    for (const bool turned : {false, true}) {
      if (turned && (item.grain == Grain::kLength || item.piece.length == item.piece.width)) {
        continue;
      }
      if (!turned && item.grain == Grain::kWidth) continue;
      const Size pitch = spacing.Pitch(turned);
      model.shapes.push_back({.item = i, .turned = turned, .x = pitch.length, .y = pitch.width});
    }
    model.quantity.push_back(item.quantity);
    const Size pitch = spacing.Pitch(false);
    model.cell_area.push_back(static_cast<double>(pitch.length) * static_cast<double>(pitch.width));
  }
  // The longest sum of sides (of one item's shapes, or of all with -1) along an axis; the axis
  // itself when the sums are too many to list.
  const auto longest = [&](Micrometres limit, bool along_x, int item) {
    std::vector<std::int64_t> sides;
    for (const Shape& s : model.shapes) {
      if (item < 0 || s.item == item) sides.push_back(along_x ? s.x : s.y);
    }
    const auto axis = RasterAxis::FromSides(limit, sides, kMaxUsablePoints);
    return axis ? axis->points().back() : limit;
  };
  const double x = static_cast<double>(model.X), y = static_cast<double>(model.Y);
  model.usable_area = std::min(static_cast<double>(longest(model.X, true, -1)) * y,
                               x * static_cast<double>(longest(model.Y, false, -1)));
  for (int i = 0; i < model.items(); ++i) {
    const Size pitch = SpacingOf(request, i).Pitch(false);
    model.most_cells.push_back(longest(model.X, true, i) * longest(model.Y, false, i) /
                               (pitch.length * pitch.width));
  }
  return model;
}

Pattern MakePattern(const Model& model, std::vector<CellBlock> blocks) {
  Pattern pattern{.blocks = std::move(blocks),
                  .count = std::vector<std::int64_t>(static_cast<std::size_t>(model.items()), 0)};
  for (const CellBlock& b : pattern.blocks) {
    pattern.count[static_cast<std::size_t>(model.shapes[static_cast<std::size_t>(b.shape)].item)] +=
        b.columns * b.rows;
  }
  return pattern;
}

double Value(const Pattern& pattern, const std::vector<double>& values) {
  double sum = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    sum += values[i] * static_cast<double>(pattern.count[i]);
  }
  return sum;
}

bool Fits(const Model& model, const std::vector<CellBlock>& blocks) {
  std::vector<Rect> extents;
  for (const CellBlock& b : blocks) {
    const Shape& s = model.shapes[static_cast<std::size_t>(b.shape)];
    const Rect r{b.x, b.y, b.columns * s.x, b.rows * s.y};
    if (b.columns < 1 || b.rows < 1 || r.x < 0 || r.y < 0 || r.x_end() > model.X ||
        r.y_end() > model.Y) {
      return false;
    }
    for (const Rect& o : extents) {
      if (r.x < o.x_end() && o.x < r.x_end() && r.y < o.y_end() && o.y < r.y_end()) return false;
    }
    extents.push_back(r);
  }
  return true;
}

}  // namespace sheetora::layout::gang
