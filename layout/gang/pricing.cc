#include "layout/gang/pricing.h"

#include <algorithm>
#include <utility>

namespace sheetora::layout::gang {
namespace {

/// The value of the densest cell: no rectangle of area A holds more than A times it.
double Density(const Model& model, const std::vector<double>& values) {
  double best = 0;
  for (const Shape& s : model.shapes) {
    best = std::max(best, values[static_cast<std::size_t>(s.item)] /
                              (static_cast<double>(s.x) * static_cast<double>(s.y)));
  }
  return best;
}

constexpr double kRelative = 1e-12;

}  // namespace

std::optional<GuillotineKnapsack> GuillotineKnapsack::Build(const Model& model,
                                                            std::int64_t max_cells) {
  auto xs = SidesAxis(model, true, max_cells);
  if (!xs) return std::nullopt;
  auto ys = SidesAxis(model, false, max_cells / xs->size() + 1);
  if (!ys || static_cast<std::int64_t>(xs->size()) * ys->size() > max_cells) return std::nullopt;
  return GuillotineKnapsack(model, *std::move(xs), *std::move(ys));
}

GuillotineKnapsack::GuillotineKnapsack(const Model& model, RasterAxis xs, RasterAxis ys)
    : model_(&model), xs_(std::move(xs)), ys_(std::move(ys)) {
  value_.assign(Index(xs_.size() - 1, ys_.size() - 1) + 1, 0.0);
  choice_.assign(value_.size(), 0);
}

std::int64_t GuillotineKnapsack::Cost() const {
  const std::int64_t nx = xs_.size(), ny = ys_.size();
  return nx * ny * (nx / 2 + ny / 2 + static_cast<std::int64_t>(model_->shapes.size()) + 1);
}

std::optional<Pattern> GuillotineKnapsack::Solve(const std::vector<double>& values,
                                                 Budget& budget) {
  const Model& model = *model_;
  const double density = Density(model, values);
  const int nx = xs_.size(), ny = ys_.size();
  for (int i = 1; i < nx; ++i) {
    const Micrometres x = xs_[i];
    for (int j = 1; j < ny; ++j) {
      const Micrometres y = ys_[j];
      double best = 0;
      std::int32_t choice = 0;
      for (std::size_t s = 0; s < model.shapes.size(); ++s) {
        const Shape& shape = model.shapes[s];
        if (shape.x > x || shape.y > y) continue;
        const double v = values[static_cast<std::size_t>(shape.item)] *
                         static_cast<double>((x / shape.x) * (y / shape.y));
        if (v > best) best = v, choice = -1 - static_cast<std::int32_t>(s);
      }
      // No rectangle holds more than its area at the densest value: stop cutting once reached.
      const double bound =
          density * static_cast<double>(x) * static_cast<double>(y) * (1 - kRelative);
      int k = 1;
      for (; best < bound && 2 * xs_[k] <= x; ++k) {
        const double v = value_[Index(k, j)] + value_[Index(xs_.Floor(x - xs_[k]), j)];
        if (v > best) best = v, choice = k;
      }
      int l = 1;
      for (; best < bound && 2 * ys_[l] <= y; ++l) {
        const double v = value_[Index(i, l)] + value_[Index(i, ys_.Floor(y - ys_[l]))];
        if (v > best) best = v, choice = kCutY + l;
      }
      value_[Index(i, j)] = best;
      choice_[Index(i, j)] = choice;
      if (!budget.Spend(k + l + static_cast<std::int64_t>(model.shapes.size()))) {
        return std::nullopt;
      }
    }
  }
  std::vector<CellBlock> blocks;
  Emit(nx - 1, ny - 1, 0, 0, blocks);
  return MakePattern(model, std::move(blocks));
}

void GuillotineKnapsack::Emit(int i, int j, Micrometres x, Micrometres y,
                              std::vector<CellBlock>& out) const {
  // The near part of a cut is at most half the rectangle: recursing into it and looping on the
  // far part keeps the depth to the logarithm of the sheet.
  for (;;) {
    const std::int32_t choice = choice_[Index(i, j)];
    if (choice == 0) return;
    if (choice < 0) {
      const int s = -1 - choice;
      const Shape& shape = model_->shapes[static_cast<std::size_t>(s)];
      out.push_back(
          {.shape = s, .x = x, .y = y, .columns = xs_[i] / shape.x, .rows = ys_[j] / shape.y});
      return;
    }
    if (choice >= kCutY) {
      const int k = choice - kCutY;
      Emit(i, k, x, y, out);
      j = ys_.Floor(ys_[j] - ys_[k]);
      y += ys_[k];
    } else {
      Emit(choice, j, x, y, out);
      i = xs_.Floor(xs_[i] - xs_[choice]);
      x += xs_[choice];
    }
  }
}

namespace {

/// The best row of columns along one axis of length `length`: each column one shape, stacked
/// `depth` deep across the row. Returns the blocks (in the row's own frame, x along the row).
struct Row {
  double value = 0;
  std::vector<std::pair<int, std::int64_t>> columns;  // shape, how many side by side
};

/// One-dimensional unbounded knapsack over the raster points of one axis.
Row BestRow(const Model& model, const std::vector<double>& values, const RasterAxis& axis,
            bool along_x, Micrometres depth, Budget& budget) {
  const int n = axis.size();
  std::vector<double> best(static_cast<std::size_t>(n), 0.0);
  std::vector<int> pick(static_cast<std::size_t>(n), -1);
  for (int p = 1; p < n; ++p) {
    best[p] = best[p - 1];
    for (std::size_t s = 0; s < model.shapes.size(); ++s) {
      const Shape& shape = model.shapes[s];
      const Micrometres side = along_x ? shape.x : shape.y, across = along_x ? shape.y : shape.x;
      if (side > axis[p] || across > depth) continue;
      const double v =
          best[axis.Floor(axis[p] - side)] +
          values[static_cast<std::size_t>(shape.item)] * static_cast<double>(depth / across);
      if (v > best[p] * (1 + kRelative)) best[p] = v, pick[p] = static_cast<int>(s);
    }
  }
  budget.Spend(static_cast<std::int64_t>(n) * static_cast<std::int64_t>(model.shapes.size()));
  Row row{.value = best[n - 1]};
  for (int p = n - 1; p > 0;) {
    if (pick[p] < 0) {
      --p;
      continue;
    }
    const Shape& shape = model.shapes[static_cast<std::size_t>(pick[p])];
    if (!row.columns.empty() && row.columns.back().first == pick[p]) {
      ++row.columns.back().second;
    } else {
      row.columns.emplace_back(pick[p], 1);
    }
    p = axis.Floor(axis[p] - (along_x ? shape.x : shape.y));
  }
  return row;
}

/// Strips running along x (along_x) or along y, stacked across the other axis.
Pattern Strips(const Model& model, const std::vector<double>& values, const RasterAxis& along,
               const RasterAxis& across, bool along_x, Budget& budget) {
  // A strip's depth is a whole number of some shape's cells: a deeper strip holds no more.
  std::vector<Micrometres> depths;
  for (const Shape& s : model.shapes) {
    const Micrometres side = along_x ? s.y : s.x;
    for (Micrometres d = side; d <= across.points().back(); d += side) depths.push_back(d);
  }
  std::sort(depths.begin(), depths.end());
  depths.erase(std::unique(depths.begin(), depths.end()), depths.end());
  std::vector<double> strip(depths.size());
  for (std::size_t d = 0; d < depths.size() && !budget.out(); ++d) {
    strip[d] = BestRow(model, values, along, along_x, depths[d], budget).value;
  }
  const int n = across.size();
  std::vector<double> best(static_cast<std::size_t>(n), 0.0);
  std::vector<int> pick(static_cast<std::size_t>(n), -1);
  for (int p = 1; p < n; ++p) {
    best[p] = best[p - 1];
    for (std::size_t d = 0; d < depths.size() && depths[d] <= across[p]; ++d) {
      const double v = best[across.Floor(across[p] - depths[d])] + strip[d];
      if (v > best[p] * (1 + kRelative)) best[p] = v, pick[p] = static_cast<int>(d);
    }
  }
  std::vector<CellBlock> blocks;
  Micrometres offset = 0;
  for (int p = n - 1; p > 0;) {
    if (pick[p] < 0) {
      --p;
      continue;
    }
    const Micrometres depth = depths[static_cast<std::size_t>(pick[p])];
    Micrometres at = 0;
    for (const auto& [s, count] : BestRow(model, values, along, along_x, depth, budget).columns) {
      const Shape& shape = model.shapes[static_cast<std::size_t>(s)];
      const Micrometres side = along_x ? shape.x : shape.y, deep = along_x ? shape.y : shape.x;
      const std::int64_t stacked = depth / deep;
      blocks.push_back(along_x ? CellBlock{s, at, offset, count, stacked}
                               : CellBlock{s, offset, at, stacked, count});
      at += count * side;
    }
    offset += depth;
    p = across.Floor(across[p] - depth);
  }
  return MakePattern(model, std::move(blocks));
}

}  // namespace

Model Coarsen(const Model& model, Micrometres grain) {
  Model coarse = model;
  for (Shape& s : coarse.shapes) {
    s.x -= s.x % grain;
    s.y -= s.y % grain;
  }
  return coarse;
}

Pattern StripKnapsack(const Model& model, const std::vector<double>& values, Budget& budget) {
  const auto xs = SidesAxis(model, true, 1 << 16);
  const auto ys = SidesAxis(model, false, 1 << 16);
  if (!xs || !ys) return MakePattern(model, {});
  Pattern rows = Strips(model, values, *xs, *ys, true, budget);
  Pattern columns = Strips(model, values, *ys, *xs, false, budget);
  return Value(columns, values) > Value(rows, values) * (1 + kRelative) ? columns : rows;
}

}  // namespace sheetora::layout::gang
