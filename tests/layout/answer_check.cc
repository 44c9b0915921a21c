#include "tests/layout/answer_check.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace sheetora::layout::testing {
namespace {

using Rect = std::tuple<Micrometres, Micrometres, Micrometres, Micrometres>;  // x, y, length, width

struct Extent {
  Micrometres along_x, along_y;  // a trim rectangle's sides
  Micrometres pitch_x, pitch_y;
};

// Written out here rather than taken from layout/geometry.h, so that a fault there shows.
Extent ExtentOf(const Request& r, const Block& b) {
  const Micrometres along_x = b.turned ? r.piece.width : r.piece.length;
  const Micrometres along_y = b.turned ? r.piece.length : r.piece.width;
  return {along_x, along_y, along_x + 2 * r.bleed + r.gutter, along_y + 2 * r.bleed + r.gutter};
}

std::string Describe(const Block& b) {
  return "block at (" + std::to_string(b.x) + ", " + std::to_string(b.y) + ") " +
         std::to_string(b.columns) + "x" + std::to_string(b.rows) + (b.turned ? " turned" : "");
}

void CheckBlocks(const Request& r, const Answer& answer, std::vector<std::string>& faults) {
  std::int64_t sum = 0;
  // Each block's bled pieces grown by the gutter on their far sides: these may not overlap.
  std::vector<Rect> regions;
  for (const Block& b : answer.blocks) {
    sum += b.columns * b.rows;
    if (b.columns < 1 || b.rows < 1) faults.emplace_back(Describe(b) + " is empty");
    if ((r.grain == Grain::kLength && b.turned) || (r.grain == Grain::kWidth && !b.turned)) {
      faults.emplace_back(Describe(b) + " goes against the grain");
    }
    const Extent e = ExtentOf(r, b);
    const Micrometres x0 = b.x - r.bleed, y0 = b.y - r.bleed;
    const Micrometres x1 = x0 + b.columns * e.pitch_x - r.gutter;
    const Micrometres y1 = y0 + b.rows * e.pitch_y - r.gutter;
    if (x0 < r.margins.left || y0 < r.margins.gripper || x1 > r.sheet.length - r.margins.right ||
        y1 > r.sheet.width - r.margins.tail) {
      faults.emplace_back(Describe(b) + " leaves the printable area");
    }
    regions.emplace_back(x0, y0, x1 + r.gutter, y1 + r.gutter);
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    for (std::size_t j = i + 1; j < regions.size(); ++j) {
      const auto [ax0, ay0, ax1, ay1] = regions[i];
      const auto [bx0, by0, bx1, by1] = regions[j];
      if (ax0 < bx1 && bx0 < ax1 && ay0 < by1 && by0 < ay1) {
        faults.emplace_back(Describe(answer.blocks[i]) + " comes closer than the gutter to " +
                            Describe(answer.blocks[j]));
      }
    }
  }
  if (sum != answer.ups)
    faults.emplace_back("the blocks hold " + std::to_string(sum) + ", not ups");
}

void CheckFigures(const Request& r, const Answer& answer, std::vector<std::string>& faults) {
  if (answer.ups > answer.bound) faults.emplace_back("ups above the bound");
  if ((answer.proof == Proof::kOptimal) != (answer.ups == answer.bound)) {
    faults.emplace_back("\"optimal\" must be claimed exactly when ups equals the bound");
  }
  if (answer.proof == Proof::kBestGuillotine && r.cut != CutMode::kGuillotine) {
    faults.emplace_back("\"best-guillotine\" claimed for a die-cut layout");
  }
  const auto area = [](const Size& s) {
    return static_cast<double>(s.length) * static_cast<double>(s.width);
  };
  const double utilisation = static_cast<double>(answer.ups) * area(r.piece) / area(r.sheet);
  if (std::abs(answer.utilisation - utilisation) > 0.00005 + 1e-12) {
    faults.emplace_back("utilisation " + std::to_string(answer.utilisation) + ", not " +
                        std::to_string(utilisation));
  }
}

}  // namespace

std::vector<std::string> CheckCuts(const Request& r, const std::vector<Block>& blocks,
                                   const std::vector<CutNode>& cuts) {
  std::vector<std::string> faults;
  const auto fault = [&](const CutNode& n, const std::string& what) {
    faults.emplace_back("cut node " + std::to_string(n.id) + ": " + what);
  };
  const Rect sheet(0, 0, r.sheet.length, r.sheet.width);
  if (cuts.empty() || Rect(cuts[0].x, cuts[0].y, cuts[0].length, cuts[0].width) != sheet) {
    faults.emplace_back("node 0 is not the sheet");
    return faults;
  }
  // Where each node must lie, as its parent's cuts made it.
  std::vector<std::optional<Rect>> placed(cuts.size());
  placed[0] = sheet;
  // Rounds of cuts: the operator finishes one round before the next, so rounds never go back.
  std::vector<int> depth(cuts.size(), 0);
  std::map<Rect, int> pieces;  // trim rectangle -> times cut out
  for (const Block& b : blocks) {
    const Extent e = ExtentOf(r, b);
    for (std::int64_t i = 0; i < b.columns; ++i) {
      for (std::int64_t j = 0; j < b.rows; ++j) {
        pieces[Rect(b.x + i * e.pitch_x, b.y + j * e.pitch_y, e.along_x, e.along_y)] = 0;
      }
    }
  }
  for (std::size_t id = 0; id < cuts.size(); ++id) {
    const CutNode& n = cuts[id];
    if (n.id != static_cast<int>(id)) fault(n, "out of place in the list");
    const Rect rect(n.x, n.y, n.length, n.width);
    if (!placed[id]) {
      fault(n, "is no part of an earlier node");
      continue;
    }
    if (*placed[id] != rect) fault(n, "is not the rectangle its parent's cuts make");
    if (id > 0 && depth[id] < depth[id - 1]) fault(n, "comes after a later round of cuts");
    if (n.kind != CutKind::kStack) {
      if (n.axis || !n.at.empty() || !n.parts.empty()) fault(n, "a leaf with cuts");
      if (n.kind == CutKind::kPiece) {
        const auto found = pieces.find(rect);
        if (found == pieces.end()) {
          fault(n, "a piece that is no trim rectangle of the layout");
        } else if (++found->second > 1) {
          fault(n, "a piece cut out twice");
        }
      }
      continue;
    }
    if (n.axis != 'x' && n.axis != 'y') {
      fault(n, "a stack without an axis");
      continue;
    }
    const bool along_x = n.axis == 'x';
    const Micrometres side = along_x ? n.length : n.width;
    if (n.at.empty() || n.parts.size() != n.at.size() + 1) fault(n, "parts do not match cuts");
    for (std::size_t k = 0; k < n.at.size(); ++k) {
      if (n.at[k] <= (k == 0 ? 0 : n.at[k - 1]) || n.at[k] >= side) {
        fault(n, "cuts not strictly inside and increasing");
      }
    }
    for (std::size_t k = 0; k < n.parts.size() && n.parts.size() == n.at.size() + 1; ++k) {
      const int part = n.parts[k];
      if (part <= n.id || part >= static_cast<int>(cuts.size()) || placed[part]) {
        fault(n, "part " + std::to_string(part) + " is not a later node of its own");
        continue;
      }
      const Micrometres from = k == 0 ? 0 : n.at[k - 1];
      const Micrometres to = k == n.at.size() ? side : n.at[k];
      depth[part] = depth[id] + 1;
      placed[part] = along_x ? Rect(n.x + from, n.y, to - from, n.width)
                             : Rect(n.x, n.y + from, n.length, to - from);
    }
  }
  for (const auto& [rect, times] : pieces) {
    if (times == 0) {
      faults.emplace_back("the piece at (" + std::to_string(std::get<0>(rect)) + ", " +
                          std::to_string(std::get<1>(rect)) + ") is never cut out");
    }
  }
  return faults;
}

std::vector<std::string> CheckAnswer(const Request& request, const Answer& answer) {
  std::vector<std::string> faults;
  CheckBlocks(request, answer, faults);
  CheckFigures(request, answer, faults);
  const bool wants_cuts = request.cut == CutMode::kGuillotine && answer.ups <= 5000;
  if (answer.cuts.has_value() != wants_cuts) {
    faults.emplace_back(wants_cuts ? "no cut program: the layout does not come apart by guillotine"
                                   : "a cut program where none belongs");
  }
  if (answer.cuts && faults.empty()) {
    std::vector<std::string> cut_faults = CheckCuts(request, answer.blocks, *answer.cuts);
    faults.insert(faults.end(), cut_faults.begin(), cut_faults.end());
  }
  return faults;
}

}  // namespace sheetora::layout::testing
