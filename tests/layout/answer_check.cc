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

/// One kind of piece as blocks lay it out; a gang has one per item.
struct Kind {
  Size piece;
  Micrometres bleed = 0, gutter = 0;
  Grain grain = Grain::kAny;
};

/// A block of an answer with the kind of its pieces.
struct Placed {
  const Kind* kind;
  Block block;
};

// Written out here rather than taken from layout/geometry.h, so that a fault there shows.
Extent ExtentOf(const Kind& k, const Block& b) {
  const Micrometres along_x = b.turned ? k.piece.width : k.piece.length;
  const Micrometres along_y = b.turned ? k.piece.length : k.piece.width;
  return {along_x, along_y, along_x + 2 * k.bleed + k.gutter, along_y + 2 * k.bleed + k.gutter};
}

std::string Describe(const Block& b) {
  return "block at (" + std::to_string(b.x) + ", " + std::to_string(b.y) + ") " +
         std::to_string(b.columns) + "x" + std::to_string(b.rows) + (b.turned ? " turned" : "");
}

/// Blocks with their bleed inside the printable area, the gutter kept between every two, the
/// grain kept; returns the pieces they hold.
std::int64_t CheckPlacement(const Size& sheet, const Margins& m, const std::vector<Placed>& blocks,
                            std::vector<std::string>& faults) {
  std::int64_t sum = 0;
  // Each block's bled pieces grown by the gutter on their far sides: these may not overlap.
  std::vector<Rect> regions;
  for (const auto& [kind, b] : blocks) {
    sum += b.columns * b.rows;
    if (b.columns < 1 || b.rows < 1) faults.emplace_back(Describe(b) + " is empty");
    if ((kind->grain == Grain::kLength && b.turned) ||
        (kind->grain == Grain::kWidth && !b.turned)) {
      faults.emplace_back(Describe(b) + " goes against the grain");
    }
    const Extent e = ExtentOf(*kind, b);
    const Micrometres x0 = b.x - kind->bleed, y0 = b.y - kind->bleed;
    const Micrometres x1 = x0 + b.columns * e.pitch_x - kind->gutter;
    const Micrometres y1 = y0 + b.rows * e.pitch_y - kind->gutter;
    if (x0 < m.left || y0 < m.gripper || x1 > sheet.length - m.right || y1 > sheet.width - m.tail) {
      faults.emplace_back(Describe(b) + " leaves the printable area");
    }
    regions.emplace_back(x0, y0, x1 + kind->gutter, y1 + kind->gutter);
  }
  for (std::size_t i = 0; i < regions.size(); ++i) {
    for (std::size_t j = i + 1; j < regions.size(); ++j) {
      const auto [ax0, ay0, ax1, ay1] = regions[i];
      const auto [bx0, by0, bx1, by1] = regions[j];
      if (ax0 < bx1 && bx0 < ax1 && ay0 < by1 && by0 < ay1) {
        faults.emplace_back(Describe(blocks[i].block) + " comes closer than the gutter to " +
                            Describe(blocks[j].block));
      }
    }
  }
  return sum;
}

/// The trim rectangles of the blocks' pieces, each with the index of its block.
std::map<Rect, std::size_t> TrimPieces(const std::vector<Placed>& blocks) {
  std::map<Rect, std::size_t> pieces;
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const auto& [kind, b] = blocks[k];
    const Extent e = ExtentOf(*kind, b);
    for (std::int64_t i = 0; i < b.columns; ++i) {
      for (std::int64_t j = 0; j < b.rows; ++j) {
        pieces[Rect(b.x + i * e.pitch_x, b.y + j * e.pitch_y, e.along_x, e.along_y)] = k;
      }
    }
  }
  return pieces;
}

Kind KindOf(const Request& r) {
  return {.piece = r.piece, .bleed = r.bleed, .gutter = r.gutter, .grain = r.grain};
}

std::vector<Placed> PlacedOf(const Kind& kind, const std::vector<Block>& blocks) {
  std::vector<Placed> placed;
  for (const Block& b : blocks) placed.push_back({&kind, b});
  return placed;
}

void CheckBlocks(const Request& r, const Answer& answer, std::vector<std::string>& faults) {
  const Kind kind = KindOf(r);
  const std::int64_t sum =
      CheckPlacement(r.sheet, r.margins, PlacedOf(kind, answer.blocks), faults);
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

/// The cut program's faults for the sheet and the pieces it must cut out (each counted as cut).
std::vector<std::string> CheckCutTree(const Size& sheet_size, std::map<Rect, int> pieces,
                                      const std::vector<CutNode>& cuts) {
  std::vector<std::string> faults;
  const auto fault = [&](const CutNode& n, const std::string& what) {
    faults.emplace_back("cut node " + std::to_string(n.id) + ": " + what);
  };
  const Rect sheet(0, 0, sheet_size.length, sheet_size.width);
  if (cuts.empty() || Rect(cuts[0].x, cuts[0].y, cuts[0].length, cuts[0].width) != sheet) {
    faults.emplace_back("node 0 is not the sheet");
    return faults;
  }
  // Where each node must lie, as its parent's cuts made it.
  std::vector<std::optional<Rect>> placed(cuts.size());
  placed[0] = sheet;
  // Rounds of cuts: the operator finishes one round before the next, so rounds never go back.
  std::vector<int> depth(cuts.size(), 0);
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

}  // namespace

std::vector<std::string> CheckCuts(const Request& r, const std::vector<Block>& blocks,
                                   const std::vector<CutNode>& cuts) {
  std::map<Rect, int> pieces;
  for (const auto& [rect, block] : TrimPieces(PlacedOf(KindOf(r), blocks))) pieces[rect] = 0;
  return CheckCutTree(r.sheet, std::move(pieces), cuts);
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

std::vector<std::string> CheckGangAnswer(const gang::GangRequest& r, const gang::GangAnswer& a) {
  std::vector<std::string> faults;
  std::vector<Kind> kinds;
  for (const gang::GangItem& item : r.items) {
    kinds.push_back({.piece = item.piece,
                     .bleed = item.bleed.value_or(r.bleed),
                     .gutter = r.gutter,
                     .grain = item.grain});
  }
  const std::size_t n = r.items.size();
  std::vector<std::int64_t> produced(n, 0);
  std::int64_t sheets = 0, press = 0;
  if (a.layouts.empty() || std::ssize(a.layouts) > r.max_layouts) {
    faults.emplace_back(std::to_string(a.layouts.size()) + " layouts, not 1 to max_layouts");
  }
  for (std::size_t l = 0; l < a.layouts.size(); ++l) {
    const gang::GangLayout& layout = a.layouts[l];
    const std::string name = "layout " + std::to_string(l) + ": ";
    if (layout.runs < 1) faults.emplace_back(name + "runs below 1");
    std::vector<Placed> placed;
    double trim_area = 0;
    for (const gang::GangBlock& b : layout.blocks) {
      if (b.item < 0 || b.item >= static_cast<int>(n)) {
        faults.emplace_back(name + "a block of no item");
        return faults;
      }
      placed.push_back({&kinds[b.item], b.block});
      produced[b.item] += layout.runs * b.block.columns * b.block.rows;
      trim_area += static_cast<double>(b.block.columns * b.block.rows) *
                   static_cast<double>(kinds[b.item].piece.length) *
                   static_cast<double>(kinds[b.item].piece.width);
    }
    std::vector<std::string> block_faults;
    const std::int64_t pieces = CheckPlacement(r.sheet, r.margins, placed, block_faults);
    for (const std::string& f : block_faults) faults.push_back(name + f);
    const double utilisation =
        trim_area / (static_cast<double>(r.sheet.length) * static_cast<double>(r.sheet.width));
    if (std::abs(layout.utilisation - utilisation) > 0.00005 + 1e-12) {
      faults.emplace_back(name + "utilisation " + std::to_string(layout.utilisation));
    }
    const bool wants_cuts = r.cut == CutMode::kGuillotine && pieces <= 5000;
    if (layout.cuts.has_value() != wants_cuts || layout.cuts_note.has_value() == wants_cuts) {
      faults.emplace_back(name +
                          (wants_cuts ? "no cut program" : "a cut program where none belongs"));
    }
    if (layout.cuts && block_faults.empty()) {
      const std::map<Rect, std::size_t> trims = TrimPieces(placed);
      std::map<Rect, int> to_cut;
      std::vector<CutNode> nodes;
      for (const auto& [rect, block] : trims) to_cut[rect] = 0;
      for (const gang::GangCut& cut : *layout.cuts) {
        nodes.push_back(cut.node);
        const Rect rect(cut.node.x, cut.node.y, cut.node.length, cut.node.width);
        const auto found = trims.find(rect);
        const int item = found == trims.end() ? -1 : layout.blocks[found->second].item;
        if (cut.node.kind == CutKind::kPiece ? cut.item != item : cut.item != -1) {
          faults.emplace_back(name + "cut node " + std::to_string(cut.node.id) +
                              " names the wrong item");
        }
      }
      for (const std::string& f : CheckCutTree(r.sheet, std::move(to_cut), nodes)) {
        faults.push_back(name + f);
      }
    }
    sheets += layout.runs;
    // Spoilage to a millionth of a percent, rounded up to whole sheets.
    const auto steps = static_cast<__int128>(std::llround(r.overs_percent * 1e6));
    press += layout.runs + r.makeready +
             static_cast<std::int64_t>((layout.runs * steps + 100'000'000 - 1) / 100'000'000);
  }
  if (a.items.size() != n) faults.emplace_back("items do not match the request's");
  for (std::size_t i = 0; i < std::min(n, a.items.size()); ++i) {
    const gang::GangItemAnswer& item = a.items[i];
    if (item.id != r.items[i].id || item.quantity != r.items[i].quantity) {
      faults.emplace_back("item " + std::to_string(i) + " is not the request's");
    }
    if (item.produced != produced[i]) {
      faults.emplace_back("item " + r.items[i].id + ": produced " + std::to_string(item.produced) +
                          ", the layouts make " + std::to_string(produced[i]));
    }
    if (produced[i] < r.items[i].quantity) faults.emplace_back("item " + r.items[i].id + " short");
  }
  if (a.sheets != sheets) faults.emplace_back("sheets " + std::to_string(a.sheets));
  if (a.press_sheets != press)
    faults.emplace_back("press sheets " + std::to_string(a.press_sheets));
  const double cost =
      static_cast<double>(sheets) +
      (static_cast<double>(r.makeready) + r.setup_sheets) * static_cast<double>(a.layouts.size());
  if (std::abs(a.cost - cost) > 1e-6) faults.emplace_back("cost " + std::to_string(a.cost));
  if (a.bound > a.cost + 1e-9) {
    faults.emplace_back("bound " + std::to_string(a.bound) + " above the cost " +
                        std::to_string(a.cost));
  }
  if ((a.proof == Proof::kOptimal) != (std::abs(a.cost - a.bound) < 1e-9)) {
    faults.emplace_back("\"optimal\" must be claimed exactly when the cost equals the bound");
  }
  return faults;
}

}  // namespace sheetora::layout::testing
