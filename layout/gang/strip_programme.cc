#include "layout/gang/strip_programme.h"

#include <CbcModel.hpp>
#include <ClpSimplex.hpp>
#include <CoinPackedMatrix.hpp>
#include <OsiClpSolverInterface.hpp>
#include <algorithm>
#include <cmath>

namespace sheetora::layout::gang {
namespace {

constexpr double kTolerance = 1e-9;
/// Rounds of column generation; the integer programme's search nodes.
constexpr int kRounds = 100;
constexpr int kNodes = 500;
/// A strip is as deep as one or two cells of some shape (deeper strips are these stacked).
constexpr int kStacked = 2;

/// One strip's contents: columns of each shape side by side, each as many cells deep as fit.
struct Strip {
  Micrometres depth = 0;
  std::vector<std::pair<int, std::int64_t>> columns;  // shape, how many side by side
  std::vector<std::int64_t> pieces;                   // by item, at most the count asked
};

/// The sheet seen with strips running along x (`along_x`) or along y.
struct Frame {
  const Model& model;
  bool along_x;
  [[nodiscard]] Micrometres length() const { return along_x ? model.X : model.Y; }
  [[nodiscard]] Micrometres across() const { return along_x ? model.Y : model.X; }
  [[nodiscard]] Micrometres side(const Shape& s) const { return along_x ? s.x : s.y; }
  [[nodiscard]] Micrometres deep(const Shape& s) const { return along_x ? s.y : s.x; }
};

/// The most valuable strip of a depth: a bounded knapsack over the strip's length, kept as the
/// list of undominated (length, value) states because lengths are any micrometre.
Strip BestStrip(const Frame& frame, Micrometres depth, const std::vector<double>& values,
                const std::vector<std::int64_t>& counts, Budget& budget) {
  const Model& model = frame.model;
  struct State {
    Micrometres length = 0;
    double value = 0;
    int parent = -1, shape = -1;
    std::int64_t columns = 0;
  };
  std::vector<State> states{{}};
  std::vector<int> front{0};  // by length, each worth more than every shorter one
  for (int s = 0; s < std::ssize(model.shapes); ++s) {
    const Shape& shape = model.shapes[s];
    const std::int64_t need = counts[shape.item];
    if (need == 0 || frame.deep(shape) > depth || frame.side(shape) > frame.length()) continue;
    const std::int64_t stack = depth / frame.deep(shape);
    const double worth = values[shape.item] * static_cast<double>(stack);
    if (worth <= kTolerance) continue;
    // Columns beyond those the count needs add nothing; taken in chunks of 1, 2, 4, ...
    std::int64_t left = std::min((need + stack - 1) / stack, frame.length() / frame.side(shape));
    for (std::int64_t chunk = 1; left > 0; chunk *= 2) {
      const std::int64_t take = std::min(chunk, left);
      left -= take;
      const Micrometres width = take * frame.side(shape);
      std::vector<int> grown;
      for (const int f : front) {
        if (states[f].length + width > frame.length()) break;
        grown.push_back(static_cast<int>(states.size()));
        states.push_back({states[f].length + width,
                          states[f].value + worth * static_cast<double>(take), f, s, take});
      }
      std::vector<int> merged(front.size() + grown.size());
      std::merge(front.begin(), front.end(), grown.begin(), grown.end(), merged.begin(),
                 [&](int a, int b) { return states[a].length < states[b].length; });
      front.clear();
      for (const int m : merged) {
        if (front.empty() || states[m].value > states[front.back()].value + kTolerance) {
          if (!front.empty() && states[front.back()].length == states[m].length) front.pop_back();
          front.push_back(m);
        }
      }
      budget.Spend(static_cast<std::int64_t>(merged.size()) + 1);
    }
  }
  Strip strip{.depth = depth,
              .pieces = std::vector<std::int64_t>(static_cast<std::size_t>(model.items()), 0)};
  for (int at = front.back(); states[at].parent >= 0; at = states[at].parent) {
    const State& state = states[at];
    strip.columns.emplace_back(state.shape, state.columns);
    const Shape& shape = model.shapes[state.shape];
    std::int64_t& pieces = strip.pieces[shape.item];
    pieces = std::min(counts[shape.item], pieces + state.columns * (depth / frame.deep(shape)));
  }
  return strip;
}

/// Column generation over strips for the least total depth, then an integer programme over the
/// strips found; nullopt when the strips cannot fit across the sheet.
std::optional<Pattern> PackAlong(const Frame& frame, const std::vector<std::int64_t>& counts,
                                 Budget& budget) {
  const Model& model = frame.model;
  const int n = model.items();
  std::vector<Micrometres> depths;
  for (const Shape& s : model.shapes) {
    if (counts[s.item] == 0) continue;
    if (frame.side(s) > frame.length()) continue;
    for (int k = 1; k <= kStacked && k * frame.deep(s) <= frame.across(); ++k) {
      depths.push_back(k * frame.deep(s));
    }
  }
  std::sort(depths.begin(), depths.end());
  depths.erase(std::unique(depths.begin(), depths.end()), depths.end());

  ClpSimplex lp;
  lp.setLogLevel(0);
  lp.resize(n, 0);
  for (int i = 0; i < n; ++i) {
    lp.setRowBounds(i, static_cast<double>(counts[i]), COIN_DBL_MAX);
  }
  std::vector<Strip> strips;
  const auto add = [&](Strip strip) {
    std::vector<int> rows;
    std::vector<double> pieces;
    for (int i = 0; i < n; ++i) {
      if (strip.pieces[i] > 0)
        rows.push_back(i), pieces.push_back(static_cast<double>(strip.pieces[i]));
    }
    lp.addColumn(static_cast<int>(rows.size()), rows.data(), pieces.data(), 0.0, COIN_DBL_MAX,
                 static_cast<double>(strip.depth));
    strips.push_back(std::move(strip));
  };
  // A strip of each item alone: the programme starts feasible whenever the items lie this way.
  std::vector<double> unit(static_cast<std::size_t>(n), 0.0);
  for (int i = 0; i < n; ++i) {
    if (counts[i] == 0) continue;
    unit[i] = 1;
    Strip alone;
    for (const Micrometres d : depths) {
      Strip strip = BestStrip(frame, d, unit, counts, budget);
      if (!strip.columns.empty()) {
        alone = std::move(strip);
        break;
      }
    }
    unit[i] = 0;
    add(std::move(alone));
  }
  for (int round = 0; round < kRounds && !budget.out(); ++round) {
    lp.setMaximumWallSeconds(budget.Seconds());
    lp.primal();
    const std::vector<double> values(lp.dualRowSolution(), lp.dualRowSolution() + n);
    bool added = false;
    for (const Micrometres d : depths) {
      Strip strip = BestStrip(frame, d, values, counts, budget);
      double worth = 0;
      for (int i = 0; i < n; ++i) worth += values[i] * static_cast<double>(strip.pieces[i]);
      if (worth > static_cast<double>(d) * (1 + 1e-9)) add(std::move(strip)), added = true;
    }
    if (!added) break;
  }
  // Strips deeper in all than the sheet, even fractionally: none of these layouts fits.
  if (lp.objectiveValue() > static_cast<double>(frame.across()) * (1 + 1e-9)) return std::nullopt;

  const int m = static_cast<int>(strips.size());
  CoinPackedMatrix matrix(true, 0, 0);
  matrix.setDimensions(n + 1, 0);
  std::vector<double> lower(static_cast<std::size_t>(m), 0.0), upper, depth;
  for (int p = 0; p < m; ++p) {
    std::vector<int> rows;
    std::vector<double> entries;
    for (int i = 0; i < n; ++i) {
      if (strips[p].pieces[i] > 0) {
        rows.push_back(i), entries.push_back(static_cast<double>(strips[p].pieces[i]));
      }
    }
    rows.push_back(n), entries.push_back(static_cast<double>(strips[p].depth));
    matrix.appendCol(static_cast<int>(rows.size()), rows.data(), entries.data());
    upper.push_back(static_cast<double>(frame.across() / strips[p].depth));
    depth.push_back(static_cast<double>(strips[p].depth));
  }
  std::vector<double> row_lower, row_upper;
  for (int i = 0; i < n; ++i) {
    row_lower.push_back(static_cast<double>(counts[i])), row_upper.push_back(COIN_DBL_MAX);
  }
  row_lower.push_back(0), row_upper.push_back(static_cast<double>(frame.across()));
  OsiClpSolverInterface solver;
  solver.messageHandler()->setLogLevel(0);
  solver.loadProblem(matrix, lower.data(), upper.data(), depth.data(), row_lower.data(),
                     row_upper.data());
  for (int p = 0; p < m; ++p) solver.setInteger(p);
  CbcModel cbc(solver);
  cbc.setLogLevel(0);
  cbc.messageHandler()->setLogLevel(0);
  // Any layout that fits will do: the first one found ends the search.
  cbc.setMaximumSolutions(1);
  cbc.setMaximumNodes(kNodes);
  cbc.setUseElapsedTime(true);
  cbc.setMaximumSeconds(budget.Seconds());
  cbc.branchAndBound();
  budget.Spend(static_cast<std::int64_t>(cbc.getNodeCount()) * 1000);
  const double* solution = cbc.bestSolution();
  if (solution == nullptr) return std::nullopt;

  std::vector<CellBlock> blocks;
  Micrometres offset = 0;
  for (int p = 0; p < m; ++p) {
    for (std::int64_t copy = std::llround(solution[p]); copy > 0; --copy) {
      Micrometres at = 0;
      for (const auto& [s, columns] : strips[p].columns) {
        const Shape& shape = model.shapes[s];
        const std::int64_t stack = strips[p].depth / frame.deep(shape);
        blocks.push_back(frame.along_x ? CellBlock{s, at, offset, columns, stack}
                                       : CellBlock{s, offset, at, stack, columns});
        at += columns * frame.side(shape);
      }
      offset += strips[p].depth;
    }
  }
  return MakePattern(model, std::move(blocks));
}

}  // namespace

std::optional<Pattern> PackStripProgramme(const Model& model,
                                          const std::vector<std::int64_t>& counts, Budget& budget) {
  for (const bool along_x : {true, false}) {
    if (auto found = PackAlong(Frame{model, along_x}, counts, budget)) {
      if (Fits(model, found->blocks)) return found;
    }
    if (budget.out()) break;
  }
  return std::nullopt;
}

}  // namespace sheetora::layout::gang
