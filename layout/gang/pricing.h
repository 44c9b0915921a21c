// Pricing: the most valuable sheet layout when each piece of an item is worth a given value, an
// unbounded two-dimensional knapsack. Column generation asks it for new patterns.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"
#include "layout/raster.h"

namespace sheetora::layout::gang {

/// The exact guillotine optimum: a dynamic programme over rectangles whose sides are raster
/// points of all the cells' sides, valued grids of one shape at the leaves. Exact over every
/// guillotine layout (any number of stages), which is what makes the plan's bound valid.
class GuillotineKnapsack {
 public:
  /// nullopt when the table would have more than `max_cells` rectangles.
  static std::optional<GuillotineKnapsack> Build(const Model& model, std::int64_t max_cells);

  /// The best layout at `values` (by item, >= 0); nullopt when the budget ran out first.
  std::optional<Pattern> Solve(const std::vector<double>& values, Budget& budget);

  /// The steps one Solve may take at most.
  [[nodiscard]] std::int64_t Cost() const;

 private:
  GuillotineKnapsack(const Model& model, RasterAxis xs, RasterAxis ys);
  void Emit(int i, int j, Micrometres x, Micrometres y, std::vector<CellBlock>& out) const;
  [[nodiscard]] std::size_t Index(int i, int j) const {
    return static_cast<std::size_t>(i) * static_cast<std::size_t>(ys_.size()) +
           static_cast<std::size_t>(j);
  }

  const Model* model_;
  RasterAxis xs_, ys_;
  std::vector<double> value_;
  // 0: empty; -1 - s: a grid of shape s; k: a cut across x at xs[k]; kCutY + k: across y.
  std::vector<std::int32_t> choice_;
  static constexpr std::int32_t kCutY = 1 << 30;
};

/// The pricings column generation may use: the exact one (nullptr: none affordable, or die
/// mode), and one over coarser cells whose layouts only bound the best value from above.
struct Pricers {
  GuillotineKnapsack* exact = nullptr;
  GuillotineKnapsack* upper = nullptr;
};

/// The model with every cell's sides cut down to whole multiples of `grain` (at most the least
/// side): each layout of the model is one of it too, its cells shrunk in place, so its best
/// guillotine value bounds the model's, on a far smaller table.
Model Coarsen(const Model& model, Micrometres grain);

/// A good layout quickly: strips across the sheet (either way), each a row of columns of one
/// shape, both levels chosen by exact one-dimensional knapsacks over raster points.
Pattern StripKnapsack(const Model& model, const std::vector<double>& values, Budget& budget);

}  // namespace sheetora::layout::gang
