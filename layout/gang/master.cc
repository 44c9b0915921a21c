#include "layout/gang/master.h"

#include <CbcHeuristic.hpp>
#include <CbcModel.hpp>
#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <OsiClpSolverInterface.hpp>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>

#include "layout/raster.h"

namespace sheetora::layout::gang {
namespace {

constexpr double kTolerance = 1e-9;
/// Rounding up a floating optimum: a value this close above a whole number is taken as it.
constexpr double kRoundSlack = 1e-6;

/// The master programme's rows: one per item (demand), then "at least one layout" and "at most
/// max_layouts layouts", both over the layouts' fractions runs / UsefulRuns.
class Master {
 public:
  Master(const Model& model, const Costs& costs) : model_(model), costs_(costs) {
    const int n = model.items();
    std::vector<double> lower, upper;
    for (int i = 0; i < n; ++i) {
      lower.push_back(static_cast<double>(model.quantity[static_cast<std::size_t>(i)]));
      upper.push_back(COIN_DBL_MAX);
    }
    lower.push_back(1), upper.push_back(COIN_DBL_MAX);
    lower.push_back(-COIN_DBL_MAX), upper.push_back(costs.max_layouts);
    lp_.setLogLevel(0);
    lp_.resize(n + 2, 0);
    for (int r = 0; r < n + 2; ++r) lp_.setRowBounds(r, lower[r], upper[r]);
    // The layout made up to a whole one, and layouts beyond the limit: a relaxation that keeps
    // every restricted programme feasible, with costs that only a plan beyond any could pay.
    const int first = n;
    double whole_cost = costs.per_layout;
    AddColumn({first}, {1.0}, whole_cost);
    const double beyond =
        static_cast<double>(*std::max_element(model.quantity.begin(), model.quantity.end())) +
        costs.per_layout + 1;
    AddColumn({n + 1}, {-1.0}, beyond);
  }

  void Add(const Pattern& pattern) {
    std::vector<int> rows;
    std::vector<double> values;
    for (int i = 0; i < model_.items(); ++i) {
      if (pattern.count[static_cast<std::size_t>(i)] > 0) {
        rows.push_back(i);
        values.push_back(static_cast<double>(pattern.count[static_cast<std::size_t>(i)]));
      }
    }
    const double share = 1.0 / static_cast<double>(UsefulRuns(model_, pattern));
    rows.push_back(model_.items()), values.push_back(share);
    rows.push_back(model_.items() + 1), values.push_back(share);
    AddColumn(rows, values, 1 + costs_.per_layout * share);
  }

  bool Solve(const Budget& budget) {
    lp_.setMaximumWallSeconds(budget.Seconds());
    lp_.primal(1);
    return lp_.isProvenOptimal();
  }

  /// The item values (clamped at 0) and the reduced cost of a pattern.
  [[nodiscard]] std::vector<double> Values() const {
    std::vector<double> v(lp_.dualRowSolution(), lp_.dualRowSolution() + model_.items());
    for (double& x : v) x = std::max(0.0, x);
    return v;
  }
  [[nodiscard]] double LayoutDuals() const {
    return lp_.dualRowSolution()[model_.items()] + lp_.dualRowSolution()[model_.items() + 1];
  }
  [[nodiscard]] double ReducedCost(const Pattern& p) const {
    const double share = 1.0 / static_cast<double>(UsefulRuns(model_, p));
    return 1 + (costs_.per_layout - LayoutDuals()) * share - Value(p, Values());
  }
  /// The dual objective: with every column's reduced cost at least r_min it bounds the full
  /// programme (Farley): z >= dual / (1 - r_min) for r_min < 0, since every column costs at
  /// least one per unit.
  [[nodiscard]] double DualValue() const {
    const double* y = lp_.dualRowSolution();
    double sum = 0;
    for (int i = 0; i < model_.items(); ++i) {
      sum +=
          std::max(0.0, y[i]) * static_cast<double>(model_.quantity[static_cast<std::size_t>(i)]);
    }
    return sum + std::max(0.0, y[model_.items()]) +
           std::min(0.0, y[model_.items() + 1]) * costs_.max_layouts;
  }
  [[nodiscard]] double Objective() const { return lp_.objectiveValue(); }

 private:
  void AddColumn(const std::vector<int>& rows, const std::vector<double>& values, double cost) {
    lp_.addColumn(static_cast<int>(rows.size()), rows.data(), values.data(), 0.0, COIN_DBL_MAX,
                  cost);
  }

  const Model& model_;
  const Costs& costs_;
  ClpSimplex lp_;
};

/// The most a sheet can be worth by area: the fractional knapsack of cell areas, each item
/// capped at the cells its area allows and at the most any layout holds.
double AreaValueBound(const Model& model, const std::vector<double>& values) {
  std::vector<int> order(static_cast<std::size_t>(model.items()));
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return values[a] / model.cell_area[a] > values[b] / model.cell_area[b];
  });
  double area = model.usable_area, total = 0;
  for (const int i : order) {
    const double cells =
        std::min({std::floor(model.usable_area / model.cell_area[i]),
                  static_cast<double>(model.most_cells[i]), area / model.cell_area[i]});
    total += cells * values[i];
    area -= cells * model.cell_area[i];
    if (area <= 0) break;
  }
  return total;
}

/// The most a sheet can be worth by its lines across: every line along `axis` crosses cells
/// whose sides along it fit in its length, each cell worth its value per unit of its other side,
/// so the sheet is worth at most the best such line (a knapsack over the axis's raster points)
/// times the other side. It holds for any layout, die-cut or not, and sees the waste where
/// sides do not add up to the length, which the area cannot.
class LineBound {
 public:
  LineBound(const Model& model, bool along_x)
      : model_(model), along_x_(along_x), axis_(SidesAxis(model, along_x, kMaxPoints)) {}

  /// Infinite where the axis has too many raster points to try.
  double Value(const std::vector<double>& values, Budget& budget) const {
    if (!axis_ || !budget.Spend(std::ssize(model_.shapes) * axis_->size())) {
      return std::numeric_limits<double>::infinity();
    }
    const RasterAxis& axis = *axis_;
    std::vector<double> best(static_cast<std::size_t>(axis.size()), 0.0);
    for (int p = 1; p < axis.size(); ++p) {
      best[p] = best[p - 1];
      for (const Shape& s : model_.shapes) {
        const Micrometres side = along_x_ ? s.x : s.y, other = along_x_ ? s.y : s.x;
        if (side > axis[p]) continue;
        best[p] = std::max(best[p], best[axis.Floor(axis[p] - side)] +
                                        values[s.item] / static_cast<double>(other));
      }
    }
    return best.back() * static_cast<double>(along_x_ ? model_.Y : model_.X);
  }

 private:
  static constexpr std::int64_t kMaxPoints = 100'000;
  const Model& model_;
  bool along_x_;
  std::optional<RasterAxis> axis_;
};

}  // namespace

std::int64_t UsefulRuns(const Model& model, const Pattern& pattern) {
  std::int64_t most = 1;
  for (int i = 0; i < model.items(); ++i) {
    const std::int64_t c = pattern.count[static_cast<std::size_t>(i)];
    if (c > 0) most = std::max(most, (model.quantity[static_cast<std::size_t>(i)] + c - 1) / c);
  }
  return most;
}

Relaxation SolveRelaxation(const Model& model, const Costs& costs, std::vector<Pattern> start,
                           Pricers pricers, Budget& budget, std::optional<double> decide) {
  Relaxation result{.pool = std::move(start)};
  Master master(model, costs);
  for (const Pattern& p : result.pool) master.Add(p);
  const auto known = [&](const Pattern& p) {
    return std::find(result.pool.begin(), result.pool.end(), p) != result.pool.end();
  };
  const LineBound along_x(model, true), along_y(model, false);
  // No layout is worth more than its area or its lines across allow.
  const auto value_bound = [&](const std::vector<double>& values) {
    return std::min({AreaValueBound(model, values), along_x.Value(values, budget),
                     along_y.Value(values, budget)});
  };
  while (master.Solve(budget)) {
    result.value = master.Objective();
    const std::vector<double> values = master.Values();
    // Farley's bound with the pricing bounded by area and lines: cheap, and valid at every
    // iteration.
    const double most_value = value_bound(values);
    result.bound = std::max(result.bound, master.DualValue() / std::max(1.0, most_value));
    if (decide && (result.value <= *decide || result.bound > *decide)) break;
    if (!budget.Spend(1000)) break;
    Pattern quick = StripKnapsack(model, values, budget);
    if (master.ReducedCost(quick) < -kTolerance && !known(quick)) {
      master.Add(quick);
      result.pool.push_back(std::move(quick));
      continue;
    }
    // The quick pricing found nothing. No layout is worth more than the area and the lines
    // allow, nor more than the coarse cells' best layout, asked where the exact pricing might
    // not finish.
    double best_value = most_value;
    const auto within = [&](const GuillotineKnapsack* p) {
      return p != nullptr && p->Cost() <= budget.left();
    };
    if (!within(pricers.exact) && within(pricers.upper)) {
      if (std::optional<Pattern> found = pricers.upper->Solve(values, budget)) {
        best_value = std::min(best_value, Value(*found, values));
      }
    }
    // The exact pricing either finds a pattern or proves none. Its cuts stop once a rectangle
    // holds its area's worth at the densest value, so it mostly takes a small part of its worst
    // case: it is tried whenever its table was built.
    if (pricers.exact != nullptr) {
      if (std::optional<Pattern> found = pricers.exact->Solve(values, budget)) {
        best_value = Value(*found, values);
        // Farley's bound with the exact value: kept should the budget end the next pricing.
        result.bound = std::max(result.bound, master.DualValue() / std::max(1.0, best_value));
        if (master.ReducedCost(*found) < -kTolerance && !known(*found)) {
          master.Add(*found);
          result.pool.push_back(*std::move(found));
          continue;
        }
      }
    }
    // No column's reduced cost is below 1 - best_value (the layout terms are >= 0).
    const double least_reduced = 1 - best_value;
    const double dual = master.DualValue();
    result.exact = least_reduced >= -kTolerance;
    result.bound = std::max(
        result.bound, result.exact ? std::min(dual, result.value) : dual / (1 - least_reduced));
    break;
  }
  return result;
}

bool ProvenBeyond(const Model& model, double layouts, std::vector<Pattern>& pool, Pricers pricers,
                  Budget& budget) {
  if (budget.out()) return false;
  // No setups and no limit: the programme's value is the sheets (here, layouts) needed.
  Relaxation relaxation = SolveRelaxation(model, {.per_layout = 0, .max_layouts = 1'000'000},
                                          std::move(pool), pricers, budget, layouts + kRoundSlack);
  pool = std::move(relaxation.pool);
  return relaxation.bound > layouts + kRoundSlack;
}

double RoundBound(double relaxation, const Costs& costs) {
  // A plan of k layouts costs a whole number of sheets plus k * per_layout.
  double best = COIN_DBL_MAX;
  for (int k = 1; k <= costs.max_layouts; ++k) {
    const double fixed = k * costs.per_layout;
    best = std::min(best, std::max(0.0, std::ceil(relaxation - fixed - kRoundSlack)) + fixed);
  }
  return best;
}

std::optional<std::vector<std::int64_t>> IntegerPlan(const Model& model, const Costs& costs,
                                                     const std::vector<Pattern>& pool,
                                                     const std::vector<std::int64_t>& start,
                                                     Budget& budget) {
  // The solver keeps only to the clock: without steps left, its plan would depend on the machine.
  if (budget.out()) return std::nullopt;
  const int n = model.items(), m = static_cast<int>(pool.size());
  // Columns: runs of each pattern, then whether it is used.
  CoinPackedMatrix matrix(true, 0, 0);
  matrix.setDimensions(n + m + 1, 0);
  std::vector<double> col_lower, col_upper, objective;
  // Among plans of equal cost, fewer layouts: a cost far below one sheet on each.
  constexpr double kLayoutTieBreak = 1e-4;
  for (int p = 0; p < m; ++p) {
    std::vector<int> rows;
    std::vector<double> values;
    for (int i = 0; i < n; ++i) {
      if (pool[p].count[i] > 0)
        rows.push_back(i), values.push_back(static_cast<double>(pool[p].count[i]));
    }
    rows.push_back(n + p), values.push_back(1);
    matrix.appendCol(static_cast<int>(rows.size()), rows.data(), values.data());
    col_lower.push_back(0), col_upper.push_back(static_cast<double>(UsefulRuns(model, pool[p])));
    objective.push_back(1);
  }
  for (int p = 0; p < m; ++p) {
    const int rows[] = {n + p, n + m};
    const double values[] = {-static_cast<double>(UsefulRuns(model, pool[p])), 1};
    matrix.appendCol(2, rows, values);
    col_lower.push_back(0), col_upper.push_back(1);
    objective.push_back(costs.per_layout + kLayoutTieBreak);
  }
  std::vector<double> row_lower, row_upper;
  for (int i = 0; i < n; ++i) {
    row_lower.push_back(static_cast<double>(model.quantity[i])), row_upper.push_back(COIN_DBL_MAX);
  }
  for (int p = 0; p < m; ++p) row_lower.push_back(-COIN_DBL_MAX), row_upper.push_back(0);
  row_lower.push_back(0), row_upper.push_back(costs.max_layouts);

  OsiClpSolverInterface solver;
  solver.messageHandler()->setLogLevel(0);
  solver.loadProblem(matrix, col_lower.data(), col_upper.data(), objective.data(), row_lower.data(),
                     row_upper.data());
  for (int c = 0; c < 2 * m; ++c) solver.setInteger(c);
  CbcModel cbc(solver);
  cbc.setLogLevel(0);
  cbc.messageHandler()->setLogLevel(0);
  // Rounding finds plans early; the caller's plan is the one to beat.
  CbcRounding rounding(cbc);
  cbc.addHeuristic(&rounding);
  if (std::any_of(start.begin(), start.end(), [](std::int64_t r) { return r > 0; })) {
    std::vector<double> known(static_cast<std::size_t>(2 * m), 0.0);
    double value = 0;
    for (int p = 0; p < m; ++p) {
      if (start[p] == 0) continue;
      known[p] = static_cast<double>(start[p]), known[m + p] = 1;
      value += known[p] + objective[m + p];
    }
    cbc.setBestSolution(known.data(), 2 * m, value, true);
  }
  // The node count keeps the plan the same on any machine; the clock only cuts it short.
  constexpr int kNodes = 2000;
  cbc.setMaximumNodes(kNodes);
  // The time limit is the caller's wall clock, not this thread's processor time.
  cbc.setUseElapsedTime(true);
  cbc.setMaximumSeconds(budget.Seconds());
  cbc.branchAndBound();
  budget.Spend(static_cast<std::int64_t>(cbc.getNodeCount()) * 2000);
  if (cbc.maximumSecondsReached()) budget.NoteCutShort();
  const double* solution = cbc.bestSolution();
  if (solution == nullptr) return std::nullopt;
  std::vector<std::int64_t> runs(static_cast<std::size_t>(m));
  for (int p = 0; p < m; ++p) runs[p] = std::llround(solution[p]);
  return runs;
}

}  // namespace sheetora::layout::gang
