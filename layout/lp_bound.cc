#include "layout/lp_bound.h"

#include <ClpEventHandler.hpp>
#include <ClpSimplex.hpp>
#include <algorithm>
#include <cmath>
#include <vector>

namespace sheetora::layout {

namespace {

// Entries of the constraint matrix beyond which the solve takes longer than a request's time
// (0.2 to 0.5 s at 20,000 to 30,000 entries, near 2 s at 40,000; the simplex is slowed by the
// model's degeneracy more than by its size).
constexpr std::size_t kMaxEntries = 60'000;

// The raster points from index `first` that lie before `end`.
int CountBefore(const RasterAxis& axis, int first, std::int64_t end) {
  const auto& points = axis.points();
  return static_cast<int>(std::lower_bound(points.begin() + first, points.end(), end) -
                          (points.begin() + first));
}

// Stops the simplex when the request's limits are reached; the solver keeps a copy of it.
class LimitsHandler final : public ClpEventHandler {
 public:
  LimitsHandler(const Limits& limits, bool& cut_short) : limits_(limits), cut_short_(cut_short) {}
  // The solver owns and deletes the copy it takes: its interface asks for a raw pointer.
  ClpEventHandler* clone() const override { return new LimitsHandler(*this); }
  int event(Event which) override {
    if (which != endOfIteration || !limits_.Reached()) return -1;
    cut_short_ = true;
    return 0;
  }

 private:
  const Limits& limits_;
  bool& cut_short_;
};

}  // namespace

LpBound RasterLpBound(const RasterAxis& xs, const RasterAxis& ys, std::int64_t a, std::int64_t b,
                      int max_iterations, const Limits& limits) {
  const std::int64_t X = xs.points().back(), Y = ys.points().back();
  const int ny = ys.size();
  // Columns: every placement that fits; rows: the raster points, y fastest.
  std::vector<CoinBigIndex> starts{0};
  std::vector<int> rows;
  for (const auto& [w, h] : {std::pair{a, b}, std::pair{b, a}}) {
    for (int i = 0; i < xs.size() && xs[i] + w <= X; ++i) {
      const int across = CountBefore(xs, i, xs[i] + w);
      for (int j = 0; j < ny && ys[j] + h <= Y; ++j) {
        const int up = CountBefore(ys, j, ys[j] + h);
        if (rows.size() + static_cast<std::size_t>(across) * up > kMaxEntries) return {};
        for (int s = i; s < i + across; ++s) {
          for (int t = j; t < j + up; ++t) rows.push_back(s * ny + t);
        }
        starts.push_back(static_cast<CoinBigIndex>(rows.size()));
      }
    }
  }
  const int columns = static_cast<int>(starts.size()) - 1, row_count = xs.size() * ny;
  if (columns == 0) return {};
  if (limits.Reached()) return {.cut_short = true};
  const std::vector<double> ones(rows.size(), 1.0), objective(columns, 1.0);
  const std::vector<double> lower(columns, 0.0), upper(columns, 1.0);
  const std::vector<double> row_lower(row_count, -COIN_DBL_MAX), row_upper(row_count, 1.0);

  ClpSimplex lp;
  lp.setLogLevel(0);
  lp.loadProblem(columns, row_count, starts.data(), rows.data(), ones.data(), lower.data(),
                 upper.data(), objective.data(), row_lower.data(), row_upper.data());
  lp.setOptimizationDirection(-1);
  lp.setMaximumIterations(max_iterations);
  LpBound result;
  const LimitsHandler handler(limits, result.cut_short);
  lp.passInEventHandler(&handler);
  lp.dual();
  if (!lp.isProvenOptimal()) return result;

  // The bound does not rest on the solver's tolerances: the duals, made non-negative and scaled
  // until every placement's rows sum to at least one, are a feasible dual solution, and their
  // sum bounds the programme's optimum.
  const double* duals = lp.dualRowSolution();
  double least_cover = COIN_DBL_MAX;
  for (int c = 0; c < columns; ++c) {
    double cover = 0;
    for (CoinBigIndex k = starts[c]; k < starts[c + 1]; ++k) cover += std::max(0.0, duals[rows[k]]);
    least_cover = std::min(least_cover, cover);
  }
  if (least_cover < 0.5) return result;
  double sum = 0;
  for (int r = 0; r < row_count; ++r) sum += std::max(0.0, duals[r]);
  result.bound = static_cast<std::int64_t>(std::floor(sum / least_cover + 1e-6));
  return result;
}

}  // namespace sheetora::layout
