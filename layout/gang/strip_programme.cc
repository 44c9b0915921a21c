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

/// A column of a strip: cells stacked across the strip, each row one shape, as wide as its
/// widest; `stack` holds (shape, how many stacked).
struct Column {
  Micrometres width = 0;
  std::vector<std::pair<int, std::int64_t>> stack;
};

/// One strip's contents: columns side by side, each repeated `.second` times.
struct Strip {
  Micrometres depth = 0;
  std::vector<std::pair<Column, std::int64_t>> columns;
  std::vector<std::int64_t> pieces;  // by item, at most the count asked
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

struct Ware {
  Micrometres size = 0;
  double worth = 0;
  std::int64_t most = 0;
};

/// How many of each ware fill `capacity` most valuably, each at most `most` times: a bounded
/// knapsack kept as the list of undominated (size, worth) states, because sizes are any
/// micrometre; the wares in chunks of 1, 2, 4, ...
std::vector<std::int64_t> Knapsack(Micrometres capacity, const std::vector<Ware>& wares,
                                   Budget& budget) {
  struct State {
    Micrometres size = 0;
    double worth = 0;
    int parent = -1, ware = -1;
    std::int64_t taken = 0;
  };
  std::vector<State> states{{}};
  std::vector<int> front{0};  // by size, each worth more than every smaller one
  for (int w = 0; w < std::ssize(wares); ++w) {
    const Ware& ware = wares[w];
    if (ware.worth <= kTolerance || ware.size > capacity) continue;
    std::int64_t left = std::min(ware.most, capacity / ware.size);
    for (std::int64_t chunk = 1; left > 0; chunk *= 2) {
      const std::int64_t take = std::min(chunk, left);
      left -= take;
      std::vector<int> grown;
      for (const int f : front) {
        if (states[f].size + take * ware.size > capacity) break;
        grown.push_back(static_cast<int>(states.size()));
        states.push_back({states[f].size + take * ware.size,
                          states[f].worth + ware.worth * static_cast<double>(take), f, w, take});
      }
      std::vector<int> merged(front.size() + grown.size());
      std::merge(front.begin(), front.end(), grown.begin(), grown.end(), merged.begin(),
                 [&](int a, int b) { return states[a].size < states[b].size; });
      front.clear();
      for (const int m : merged) {
        if (front.empty() || states[m].worth > states[front.back()].worth + kTolerance) {
          if (!front.empty() && states[front.back()].size == states[m].size) front.pop_back();
          front.push_back(m);
        }
      }
      budget.Spend(static_cast<std::int64_t>(merged.size()) + 1);
    }
  }
  std::vector<std::int64_t> taken(wares.size(), 0);
  for (int at = front.back(); states[at].parent >= 0; at = states[at].parent) {
    taken[static_cast<std::size_t>(states[at].ware)] += states[at].taken;
  }
  return taken;
}

/// The most valuable strip of a depth. Its columns: each shape stacked alone, and for each
/// width the best stack of the shapes no wider (the knapsack across the strip), all pieces
/// valued at most up to the counts.
Strip BestStrip(const Frame& frame, Micrometres depth, const std::vector<double>& values,
                const std::vector<std::int64_t>& counts, Budget& budget) {
  const Model& model = frame.model;
  std::vector<int> usable;
  for (int s = 0; s < std::ssize(model.shapes); ++s) {
    const Shape& shape = model.shapes[s];
    if (counts[shape.item] > 0 && values[shape.item] > kTolerance && frame.deep(shape) <= depth &&
        frame.side(shape) <= frame.length()) {
      usable.push_back(s);
    }
  }
  std::vector<Column> columns;
  std::vector<Ware> wares;
  const auto offer = [&](Column column) {
    double worth = 0;
    std::int64_t most = frame.length() / column.width;
    for (const auto& [s, n] : column.stack) {
      const Shape& shape = model.shapes[s];
      worth += values[shape.item] * static_cast<double>(n);
      most = std::min(most, (counts[shape.item] + n - 1) / n);
    }
    wares.push_back({column.width, worth, most});
    columns.push_back(std::move(column));
  };
  std::vector<Micrometres> widths;
  for (const int s : usable) {
    const Shape& shape = model.shapes[s];
    const std::int64_t n = std::min(depth / frame.deep(shape), counts[shape.item]);
    offer({frame.side(shape), {{s, n}}});
    widths.push_back(frame.side(shape));
  }
  std::sort(widths.begin(), widths.end());
  widths.erase(std::unique(widths.begin(), widths.end()), widths.end());
  for (const Micrometres width : widths) {
    std::vector<Ware> rows;
    std::vector<int> shapes;
    for (const int s : usable) {
      const Shape& shape = model.shapes[s];
      if (frame.side(shape) > width) continue;
      rows.push_back({frame.deep(shape), values[shape.item], counts[shape.item]});
      shapes.push_back(s);
    }
    const std::vector<std::int64_t> stacked = Knapsack(depth, rows, budget);
    Column column{.width = width};
    for (std::size_t r = 0; r < rows.size(); ++r) {
      if (stacked[r] > 0) column.stack.emplace_back(shapes[r], stacked[r]);
    }
    if (column.stack.size() > 1) offer(std::move(column));
  }
  const std::vector<std::int64_t> taken = Knapsack(frame.length(), wares, budget);
  Strip strip{.depth = depth,
              .pieces = std::vector<std::int64_t>(static_cast<std::size_t>(model.items()), 0)};
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (taken[c] == 0) continue;
    for (const auto& [s, n] : columns[c].stack) {
      const int item = model.shapes[s].item;
      strip.pieces[item] = std::min(counts[item], strip.pieces[item] + taken[c] * n);
    }
    strip.columns.emplace_back(columns[c], taken[c]);
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
      for (const auto& [column, repeated] : strips[p].columns) {
        for (std::int64_t r = 0; r < repeated; ++r, at += column.width) {
          Micrometres down = offset;
          for (const auto& [s, n] : column.stack) {
            blocks.push_back(frame.along_x ? CellBlock{s, at, down, 1, n}
                                           : CellBlock{s, down, at, n, 1});
            down += n * frame.deep(model.shapes[s]);
          }
        }
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
