#include "layout/pack.h"

#include <algorithm>
#include <numeric>

#include "layout/bands.h"
#include "layout/bounds.h"
#include "layout/corner_search.h"
#include "layout/five_block.h"
#include "layout/guillotine.h"
#include "layout/raster.h"

namespace sheetora::layout {

namespace {

// Rectangles the exact programmes may table: beyond this the sheet is answered by the band
// layouts, which are linear in the sheet.
constexpr std::size_t kMaxStates = std::size_t{1} << 20;
// The exhaustive search runs on grids of at most this many raster cells, for at most this many
// steps (a few tens of milliseconds).
constexpr std::size_t kMaxCornerCells = std::size_t{1} << 16;
constexpr std::int64_t kCornerNodes = 2'000'000;

PackResult SingleGrid(const PackProblem& problem) {
  const bool turned = problem.orientation == Orientation::kTurned;
  PackResult result;
  AppendGrid(0, 0, problem.X, problem.Y, turned ? problem.b : problem.a,
             turned ? problem.a : problem.b, turned, result.blocks);
  result.ups = result.blocks.empty() ? 0 : result.blocks[0].columns * result.blocks[0].rows;
  result.bound = result.ups;
  result.best_guillotine = true;
  return result;
}

void Keep(std::int64_t ups, std::vector<PackBlock> blocks, PackResult& result) {
  if (ups > result.ups) result.ups = ups, result.blocks = std::move(blocks);
}

}  // namespace

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
  Deadline deadline(problem.deadline);
  const std::int64_t unit = std::gcd(problem.a, problem.b);
  const std::int64_t a = problem.a / unit, b = problem.b / unit;
  const std::int64_t X = LargestRasterPoint(problem.X / unit, a, b);
  const std::int64_t Y = LargestRasterPoint(problem.Y / unit, a, b);

  PackResult result;
  result.bound = UpperBound(X, Y, a, b);
  for (const bool turned : {false, true}) {
    std::vector<PackBlock> grid;
    AppendGrid(0, 0, X, Y, turned ? b : a, turned ? a : b, turned, grid);
    Keep(Grid(X, Y, turned ? b : a, turned ? a : b), std::move(grid), result);
  }
  result.best_guillotine = result.ups == result.bound;

  const auto xs = result.best_guillotine ? std::nullopt : RasterAxis::Build(X, a, b, kMaxStates);
  const auto ys = xs ? RasterAxis::Build(Y, a, b, kMaxStates / xs->size()) : std::nullopt;
  if (xs && ys) {
    GuillotineTable guillotine(*xs, *ys, a, b);
    result.best_guillotine = guillotine.Solve(deadline);
    const int i = xs->size() - 1, j = ys->size() - 1;
    if (result.best_guillotine) {
      std::vector<PackBlock> blocks;
      guillotine.Emit(i, j, 0, 0, blocks);
      Keep(guillotine.Value(i, j), std::move(blocks), result);
    }
    if (result.best_guillotine && problem.cut == CutMode::kDie && result.ups < result.bound) {
      FiveBlockSearch five_block(guillotine);
      const std::int64_t ups = five_block.Solve(i, j, deadline);
      if (ups > result.ups) {
        std::vector<PackBlock> blocks;
        five_block.Emit(i, j, 0, 0, blocks);
        Keep(ups, std::move(blocks), result);
      }
      if (result.ups < result.bound &&
          static_cast<std::size_t>(i) * static_cast<std::size_t>(j) <= kMaxCornerCells) {
        // Dead ends show up sooner when the scan runs along the shorter side.
        const bool transpose = X > Y;
        CornerSearch corner(transpose ? *ys : *xs, transpose ? *xs : *ys, a, b);
        CornerSearch::Outcome found = corner.Run(result.ups, result.bound, kCornerNodes, deadline);
        if (transpose) Transpose(found.blocks);
        Keep(found.ups, std::move(found.blocks), result);
        if (found.complete) result.bound = result.ups;
      }
    }
  }
  if (!result.best_guillotine) {
    BandsLayout bands = BestTwoColumnBands(X, Y, a, b, deadline);
    Keep(bands.ups, std::move(bands.blocks), result);
  }

  // A layout that reaches the bound is the best of every kind, guillotine ones included.
  result.best_guillotine = result.best_guillotine || result.ups == result.bound;
  for (PackBlock& block : result.blocks) block.x *= unit, block.y *= unit;
  return result;
}

}  // namespace sheetora::layout
