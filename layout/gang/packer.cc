#include "layout/gang/packer.h"

#include <algorithm>
#include <numeric>
#include <random>

namespace sheetora::layout::gang {
namespace {

/// A placement of a block of one shape in a free rectangle.
struct Placement {
  int free = -1;
  CellBlock block;
  double waste = 0;
};

/// The block of `shape` for `left` pieces in a free rectangle: all of them when they fit, on
/// the fewest cells, else as many as the rectangle holds.
std::optional<CellBlock> BlockFor(const Shape& shape, int s, const Rect& free, std::int64_t left) {
  const std::int64_t most_columns = free.length / shape.x, most_rows = free.width / shape.y;
  if (most_columns == 0 || most_rows == 0) return std::nullopt;
  std::int64_t columns = most_columns, rows = most_rows;
  if (most_columns * most_rows >= left) {
    // Full rows or full columns, whichever takes fewer cells.
    const std::int64_t by_rows = (left + most_columns - 1) / most_columns;
    const std::int64_t by_columns = (left + most_rows - 1) / most_rows;
    const std::int64_t row_width = (left + by_rows - 1) / by_rows;
    const std::int64_t column_height = (left + by_columns - 1) / by_columns;
    if (row_width * by_rows <= by_columns * column_height) {
      columns = row_width, rows = by_rows;
    } else {
      columns = by_columns, rows = column_height;
    }
  }
  return CellBlock{.shape = s, .x = free.x, .y = free.y, .columns = columns, .rows = rows};
}

std::optional<Pattern> PackInOrder(const Model& model, const std::vector<std::int64_t>& counts,
                                   const std::vector<int>& order, bool split_long, Budget& budget) {
  std::vector<Rect> free{{0, 0, model.X, model.Y}};
  std::vector<CellBlock> blocks;
  std::vector<std::int64_t> left = counts;
  for (const int item : order) {
    while (left[item] > 0) {
      // Each free rectangle is tried with each shape, then kept sorted.
      if (!budget.Spend(static_cast<std::int64_t>(free.size()) * 16 + 1)) return std::nullopt;
      // The block that places the most of what is left, then wastes least of its rectangle.
      std::optional<Placement> best;
      for (int f = 0; f < std::ssize(free); ++f) {
        for (int s = 0; s < std::ssize(model.shapes); ++s) {
          const Shape& shape = model.shapes[s];
          if (shape.item != item) continue;
          const auto block = BlockFor(shape, s, free[f], left[item]);
          if (!block) continue;
          const double cells = static_cast<double>(block->columns * block->rows);
          const double placed = std::min(cells, static_cast<double>(left[item]));
          const double waste =
              static_cast<double>(free[f].length) * static_cast<double>(free[f].width) -
              placed * static_cast<double>(shape.x) * static_cast<double>(shape.y);
          const double score = -placed * 1e30 + waste;
          if (!best || score < best->waste) best = Placement{f, *block, score};
        }
      }
      if (!best) return std::nullopt;
      const Shape& shape = model.shapes[best->block.shape];
      const Rect f = free[best->free];
      const Micrometres w = best->block.columns * shape.x, h = best->block.rows * shape.y;
      left[item] = std::max<std::int64_t>(0, left[item] - best->block.columns * best->block.rows);
      blocks.push_back(best->block);
      free.erase(free.begin() + best->free);
      // Split the rest of the rectangle by one straight cut: along the block's longer side
      // first (long strips) or its shorter.
      const bool cut_across_y = split_long == (f.length - w < f.width - h);
      const Rect right = cut_across_y ? Rect{f.x + w, f.y, f.length - w, h}
                                      : Rect{f.x + w, f.y, f.length - w, f.width};
      const Rect top = cut_across_y ? Rect{f.x, f.y + h, f.length, f.width - h}
                                    : Rect{f.x, f.y + h, w, f.width - h};
      for (const Rect& r : {right, top}) {
        if (r.length > 0 && r.width > 0) free.push_back(r);
      }
      // Smallest rectangles first, so that ties go to the snuggest fit.
      std::stable_sort(free.begin(), free.end(), [](const Rect& a, const Rect& b) {
        return static_cast<double>(a.length) * static_cast<double>(a.width) <
               static_cast<double>(b.length) * static_cast<double>(b.width);
      });
    }
  }
  return MakePattern(model, std::move(blocks));
}

/// Shelves across the sheet, the lowest way round of each piece, the tallest first; each shelf
/// filled left to right, the pieces of one item side by side as one row block.
std::optional<Pattern> PackShelves(const Model& model, const std::vector<std::int64_t>& counts,
                                   Budget& budget) {
  std::vector<int> lowest(static_cast<std::size_t>(model.items()), -1);
  for (int s = 0; s < std::ssize(model.shapes); ++s) {
    const Shape& shape = model.shapes[s];
    int& best = lowest[shape.item];
    if (shape.x <= model.X && (best < 0 || shape.y < model.shapes[best].y)) best = s;
  }
  std::vector<int> order;
  for (int i = 0; i < model.items(); ++i) {
    if (counts[i] == 0) continue;
    if (lowest[i] < 0) return std::nullopt;
    order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return model.shapes[lowest[a]].y > model.shapes[lowest[b]].y;
  });
  std::vector<CellBlock> blocks;
  Micrometres shelf_y = 0, shelf_height = 0, x = 0;
  for (const int item : order) {
    const Shape& shape = model.shapes[lowest[item]];
    for (std::int64_t left = counts[item]; left > 0;) {
      if (!budget.Spend(1)) return std::nullopt;
      if (x + shape.x > model.X) shelf_y += shelf_height, shelf_height = 0, x = 0;
      if (shelf_height == 0) shelf_height = shape.y;
      if (shelf_y + shelf_height > model.Y) return std::nullopt;
      const std::int64_t columns = std::min(left, (model.X - x) / shape.x);
      blocks.push_back(
          {.shape = lowest[item], .x = x, .y = shelf_y, .columns = columns, .rows = 1});
      x += columns * shape.x;
      left -= columns;
    }
  }
  return MakePattern(model, std::move(blocks));
}

/// Strips across the sheet (along x, or along y), each as deep as one cell side: the strip
/// with the least waste goes first, filled with columns of the items whose cells stack deep
/// in it with least to spare (`snug_first`; else those with the most area still needed), each
/// item lying the way that does. Many gang pieces share a side, which these strips fill
/// exactly where shelves of the lowest way round leave gaps.
std::optional<Pattern> PackStrips(const Model& model, const std::vector<std::int64_t>& counts,
                                  bool along_x, bool snug_first, Budget& budget) {
  const Micrometres length = along_x ? model.X : model.Y, across = along_x ? model.Y : model.X;
  const auto side = [&](const Shape& s) { return along_x ? s.x : s.y; };
  const auto deep = [&](const Shape& s) { return along_x ? s.y : s.x; };
  std::vector<std::int64_t> left = counts;
  std::vector<CellBlock> blocks;
  Micrometres offset = 0;
  const auto any_left = [&] {
    return std::any_of(left.begin(), left.end(), [](std::int64_t c) { return c > 0; });
  };
  while (any_left()) {
    // Every depth a shape of an item still needed gives, filled greedily; the fullest wins.
    double best_fill = 0;
    std::vector<CellBlock> best_strip;
    std::vector<std::int64_t> best_left;
    Micrometres best_depth = 0;
    for (const Shape& by : model.shapes) {
      const Micrometres depth = deep(by);
      if (left[by.item] == 0 || depth > across - offset || side(by) > length) continue;
      if (!budget.Spend(static_cast<std::int64_t>(model.shapes.size()) * 4 + 1)) {
        return std::nullopt;
      }
      // Each item's shape that stacks with least to spare in the depth.
      std::vector<int> pick(static_cast<std::size_t>(model.items()), -1);
      for (int s = 0; s < std::ssize(model.shapes); ++s) {
        const Shape& shape = model.shapes[s];
        if (left[shape.item] == 0 || deep(shape) > depth || side(shape) > length) continue;
        int& p = pick[shape.item];
        const auto spare = [&](const Shape& t) { return depth % deep(t); };
        if (p < 0 || spare(shape) < spare(model.shapes[p]) ||
            (spare(shape) == spare(model.shapes[p]) && side(shape) < side(model.shapes[p]))) {
          p = s;
        }
      }
      std::vector<int> order;
      for (const int p : pick) {
        if (p >= 0) order.push_back(p);
      }
      // The snuggest first, then the most area still needed.
      std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const Shape &sa = model.shapes[a], &sb = model.shapes[b];
        if (snug_first && depth % deep(sa) != depth % deep(sb)) {
          return depth % deep(sa) < depth % deep(sb);
        }
        return static_cast<double>(left[sa.item]) * model.cell_area[sa.item] >
               static_cast<double>(left[sb.item]) * model.cell_area[sb.item];
      });
      std::vector<std::int64_t> strip_left = left;
      std::vector<CellBlock> strip;
      Micrometres at = 0;
      double used = 0;
      for (const int s : order) {
        const Shape& shape = model.shapes[s];
        const std::int64_t stack = depth / deep(shape);
        std::int64_t& need = strip_left[shape.item];
        const std::int64_t columns =
            std::min((need + stack - 1) / stack, (length - at) / side(shape));
        if (columns == 0) continue;
        const std::int64_t full = std::min(columns, need / stack), rest = need - full * stack;
        const auto add = [&](std::int64_t c, std::int64_t r) {
          strip.push_back(along_x ? CellBlock{s, at, offset, c, r}
                                  : CellBlock{s, offset, at, r, c});
          at += c * side(shape);
          const std::int64_t placed = std::min(need, c * r);
          need -= placed;
          used += static_cast<double>(placed) * model.cell_area[shape.item];
        };
        if (full > 0) add(full, stack);
        if (columns > full && rest > 0) add(1, std::min(stack, rest));
      }
      const double fill = used / (static_cast<double>(depth) * static_cast<double>(length));
      if (fill > best_fill) {
        best_fill = fill, best_strip = std::move(strip), best_left = std::move(strip_left);
        best_depth = depth;
      }
    }
    if (best_strip.empty()) return std::nullopt;
    blocks.insert(blocks.end(), best_strip.begin(), best_strip.end());
    left = std::move(best_left);
    offset += best_depth;
  }
  return MakePattern(model, std::move(blocks));
}

}  // namespace

std::optional<Pattern> PackCounts(const Model& model, const std::vector<std::int64_t>& counts,
                                  Budget& budget, int shuffles) {
  const int n = model.items();
  std::vector<int> items;
  double area = 0;
  for (int i = 0; i < n; ++i) {
    if (counts[i] > 0) items.push_back(i);
    area += static_cast<double>(counts[i]) * model.cell_area[i];
  }
  // No layout covers more than the usable area: such counts need no packer to refuse them.
  if (area > model.usable_area) return std::nullopt;
  // Orders: by the area the item needs, by its longest cell side, by its count.
  const auto longest = [&](int i) {
    Micrometres m = 0;
    for (const Shape& s : model.shapes) {
      if (s.item == i) m = std::max({m, s.x, s.y});
    }
    return m;
  };
  std::vector<std::vector<int>> orders(3, items);
  std::stable_sort(orders[0].begin(), orders[0].end(), [&](int a, int b) {
    return static_cast<double>(counts[a]) * model.cell_area[a] >
           static_cast<double>(counts[b]) * model.cell_area[b];
  });
  std::stable_sort(orders[1].begin(), orders[1].end(),
                   [&](int a, int b) { return longest(a) > longest(b); });
  std::stable_sort(orders[2].begin(), orders[2].end(),
                   [&](int a, int b) { return counts[a] > counts[b]; });
  if (auto shelves = PackShelves(model, counts, budget)) return shelves;
  for (const auto& order : orders) {
    for (const bool split_long : {true, false}) {
      if (auto found = PackInOrder(model, counts, order, split_long, budget)) return found;
      if (budget.out()) return std::nullopt;
    }
  }
  if (shuffles == 0) return std::nullopt;
  for (const bool snug_first : {true, false}) {
    for (const bool along_x : {true, false}) {
      if (auto strips = PackStrips(model, counts, along_x, snug_first, budget)) return strips;
    }
  }
  // Large pieces fit in some order that no rule gives: shuffled orders, the same ones on every
  // machine.
  std::mt19937_64 random(20261208);
  std::vector<int> order = items;
  for (int t = 0; t < shuffles; ++t) {
    std::shuffle(order.begin(), order.end(), random);
    for (const bool split_long : {true, false}) {
      if (auto found = PackInOrder(model, counts, order, split_long, budget)) return found;
      if (budget.out()) return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace sheetora::layout::gang
