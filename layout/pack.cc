#include "layout/pack.h"

#include <algorithm>
#include <numeric>

#include "layout/bands.h"
#include "layout/bounds.h"
#include "layout/corner_search.h"
#include "layout/five_block.h"
#include "layout/guillotine.h"
#include "layout/lp_bound.h"
#include "layout/raster.h"

namespace sheetora::layout {

namespace {

// Rectangles the exact programmes may table: beyond this the sheet is answered by the band
// layouts, which are linear in the sheet.
constexpr std::int64_t kMaxStates = std::int64_t{1} << 20;
// Each search's effort in steps, so that it is the same on a busy machine: each budget
// lets the hardest requests end in about a second on an idle machine, and typical print jobs
// never reach theirs (bench/layout_engine_bench.cc shows both).
constexpr std::int64_t kBandSteps = 200'000'000;        // column splits counted along a column
constexpr std::int64_t kGuillotineSteps = 200'000'000;  // cuts tried in the exact programme
constexpr std::int64_t kFiveBlockSteps = 30'000'000;    // pinwheel partitions tried
constexpr std::int64_t kCornerSteps = 4'000'000;        // cells of the corner search
constexpr int kLpIterations = 20'000;                   // simplex iterations
// Both recurse: the pinwheels as deep as their table is long plus wide, the corner search as
// deep as its pieces, which its cells bound. These limits keep either within a thread's stack.
constexpr int kMaxPinwheelDepth = 4096;
constexpr std::size_t kMaxCornerCells = std::size_t{1} << 14;

std::int64_t Ups(const std::vector<Block>& blocks) {
  std::int64_t ups = 0;
  for (const Block& block : blocks) ups += block.columns * block.rows;
  return ups;
}

PackResult SingleGrid(const PackProblem& problem) {
  const bool turned = problem.orientation == Orientation::kTurned;
  PackResult result;
  AppendGrid(0, 0, problem.X, problem.Y, turned ? problem.b : problem.a,
             turned ? problem.a : problem.b, turned, result.blocks);
  result.ups = Ups(result.blocks);
  result.bound = result.ups;
  result.best_guillotine = true;
  return result;
}

// Takes the layout when it holds more than the one kept.
void Keep(std::vector<Block> blocks, PackResult& result) {
  const std::int64_t ups = Ups(blocks);
  if (ups > result.ups) result.ups = ups, result.blocks = std::move(blocks);
}

}  // namespace

// Cheapest first, each stage only while the layout falls short of the bound: the two grids;
// the band layouts; the exact guillotine programme; then, for die cutting, pinwheels over the
// programme's table, the exhaustive corner search, which also proves the bound when it
// completes, and the linear programme's bound.
PackResult Pack(const PackProblem& problem) {
  if (problem.X <= 0 || problem.Y <= 0 || problem.a <= 0 || problem.b <= 0) return {};
  const bool upright_fits = problem.a <= problem.X && problem.b <= problem.Y;
  const bool turned_fits = problem.b <= problem.X && problem.a <= problem.Y;
  // With one orientation, the grid is the best layout of any kind.
  if (problem.orientation != Orientation::kBoth || problem.a == problem.b || !upright_fits ||
      !turned_fits) {
    PackProblem single = problem;
    if (single.orientation == Orientation::kBoth) {
      single.orientation = upright_fits ? Orientation::kUpright : Orientation::kTurned;
    }
    return SingleGrid(single);
  }

  // Every raster point is a multiple of gcd(a, b): solve in those units, on the sides shrunk to
  // their raster points, and scale back at the end.
  const Limits& limits = problem.limits;
  const std::int64_t unit = std::gcd(problem.a, problem.b);
  const std::int64_t a = problem.a / unit, b = problem.b / unit;
  const std::int64_t X = LargestRasterPoint(problem.X / unit, a, b);
  const std::int64_t Y = LargestRasterPoint(problem.Y / unit, a, b);

  PackResult result;
  bool cut_short = false;
  result.bound = SheetBound(X, Y, a, b);
  for (const bool turned : {false, true}) {
    std::vector<Block> grid;
    AppendGrid(0, 0, X, Y, turned ? b : a, turned ? a : b, turned, grid);
    Keep(std::move(grid), result);
  }
  // The band layouts first: linear in the sheet, they stand when the exact programme is too
  // large for the table or for its budget.
  if (result.ups < result.bound) {
    Deadline deadline(limits, kBandSteps);
    BandsLayout bands = BestTwoColumnBands(X, Y, a, b, result.bound, deadline);
    Keep(std::move(bands.blocks), result);
    cut_short = deadline.cut_short();
  }
  result.best_guillotine = result.ups == result.bound;

  // The exact programmes table every pair of raster points: count them before building any,
  // and build none once the limits are reached.
  const std::int64_t nx = RasterPointCount(X, a, b, kMaxStates);
  const bool small =
      !result.best_guillotine && nx * RasterPointCount(Y, a, b, kMaxStates / nx) <= kMaxStates;
  cut_short = cut_short || (small && limits.Reached());
  const auto xs = small && !cut_short ? RasterAxis::Build(X, a, b, kMaxStates) : std::nullopt;
  const auto ys = small && !cut_short ? RasterAxis::Build(Y, a, b, kMaxStates) : std::nullopt;
  if (xs && ys) {
    const int i = xs->size() - 1, j = ys->size() - 1;
    GuillotineTable guillotine(*xs, *ys, a, b);
    guillotine.TightenSheet(result.bound);
    Deadline guillotine_deadline(limits, kGuillotineSteps);
    result.best_guillotine = guillotine.Solve(guillotine_deadline);
    cut_short = cut_short || guillotine_deadline.cut_short();
    if (result.best_guillotine) {
      std::vector<Block> blocks;
      guillotine.Emit(i, j, 0, 0, blocks);
      Keep(std::move(blocks), result);
    }
    if (result.best_guillotine && problem.cut == CutMode::kDie && result.ups < result.bound &&
        i + j <= kMaxPinwheelDepth) {
      FiveBlockSearch five_block(guillotine);
      Deadline five_block_deadline(limits, kFiveBlockSteps);
      five_block.Solve(i, j, five_block_deadline);
      cut_short = cut_short || five_block_deadline.cut_short();
      std::vector<Block> blocks;
      five_block.Emit(i, j, 0, 0, blocks);
      Keep(std::move(blocks), result);
      if (!cut_short && result.ups < result.bound &&
          static_cast<std::size_t>(i) * static_cast<std::size_t>(j) <= kMaxCornerCells) {
        // Dead ends show up sooner when the scan runs along the shorter side.
        const bool transpose = X > Y;
        CornerSearch corner(transpose ? *ys : *xs, transpose ? *xs : *ys, a, b);
        Deadline corner_deadline(limits, kCornerSteps);
        CornerSearch::Outcome found = corner.Run(result.ups, result.bound, corner_deadline);
        cut_short = cut_short || corner_deadline.cut_short();
        if (transpose) Transpose(found.blocks);
        Keep(std::move(found.blocks), result);
        if (found.complete) result.bound = result.ups;
      }
      // Last, as it only proves: the linear programme closes most of the gaps the searches
      // leave where the closed-form bounds are a piece too high.
      if (!cut_short && result.ups < result.bound) {
        const LpBound lp = RasterLpBound(*xs, *ys, a, b, kLpIterations, limits);
        if (lp.bound) result.bound = std::min(result.bound, *lp.bound);
        cut_short = cut_short || lp.cut_short;
      }
    }
  }
  result.complete = !cut_short;

  // A layout that reaches the bound is the best of every kind, guillotine ones included.
  result.best_guillotine = result.best_guillotine || result.ups == result.bound;
  for (Block& block : result.blocks) block.x *= unit, block.y *= unit;
  return result;
}

}  // namespace sheetora::layout
