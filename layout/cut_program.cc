#include "layout/cut_program.h"

#include <algorithm>
#include <deque>
#include <utility>

namespace sheetora::layout {
namespace {

Micrometres Low(const Rect& r, bool along_x) { return along_x ? r.x : r.y; }
Micrometres High(const Rect& r, bool along_x) { return along_x ? r.x_end() : r.y_end(); }

/// The part of `node` from `low` to `high` on one axis.
Rect Slice(const Rect& node, bool along_x, Micrometres low, Micrometres high) {
  Rect part = node;
  (along_x ? part.x : part.y) = low;
  (along_x ? part.length : part.width) = high - low;
  return part;
}

std::vector<Rect> TrimRectangles(const Request& request, const std::vector<Block>& blocks) {
  const Spacing spacing = SpacingOf(request);
  std::vector<Rect> pieces;
  for (const Block& b : blocks) {
    for (std::int64_t i = 0; i < b.columns; ++i) {
      for (std::int64_t j = 0; j < b.rows; ++j) pieces.push_back(spacing.TrimRect(b, i, j));
    }
  }
  return pieces;
}

/// The lines across `node` on one axis that cross no piece: both ends of every run of pieces
/// whose extents overlap on that axis, where they lie strictly inside the node. Ascending.
std::vector<Micrometres> FreeLines(const Rect& node, const std::vector<Rect>& pieces,
                                   std::vector<int>& inside, bool along_x) {
  std::sort(inside.begin(), inside.end(),
            [&](int a, int b) { return Low(pieces[a], along_x) < Low(pieces[b], along_x); });
  std::vector<Micrometres> lines;
  const auto add = [&](Micrometres at) {
    if (at > Low(node, along_x) && at < High(node, along_x) && (lines.empty() || lines.back() < at))
      lines.push_back(at);
  };
  Micrometres run_end = Low(node, along_x);
  bool in_run = false;
  for (const int p : inside) {
    if (in_run && Low(pieces[p], along_x) < run_end) {
      run_end = std::max(run_end, High(pieces[p], along_x));
      continue;
    }
    if (in_run) add(run_end);
    add(Low(pieces[p], along_x));
    run_end = High(pieces[p], along_x);
    in_run = true;
  }
  if (in_run) add(run_end);
  return lines;
}

}  // namespace

std::optional<std::vector<CutNode>> CutProgram(const Request& request,
                                               const std::vector<Block>& blocks) {
  return CutProgram(request.sheet, TrimRectangles(request, blocks));
}

std::optional<std::vector<CutNode>> CutProgram(const Size& sheet, const std::vector<Rect>& pieces) {
  std::vector<CutNode> nodes;
  // Each node waits with the pieces inside it for its round of cuts.
  std::deque<std::pair<Rect, std::vector<int>>> waiting;
  std::vector<int> all(pieces.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
  waiting.emplace_back(Rect{0, 0, sheet.length, sheet.width}, std::move(all));
  for (int id = 0; !waiting.empty(); ++id) {
    auto [node, inside] = std::move(waiting.front());
    waiting.pop_front();
    CutNode& cut = nodes.emplace_back(
        CutNode{.id = id, .x = node.x, .y = node.y, .length = node.length, .width = node.width});
    if (inside.empty()) continue;  // waste
    if (inside.size() == 1 && pieces[inside[0]] == node) {
      cut.kind = CutKind::kPiece;
      continue;
    }
    // The axis with fewer lines gives the longer strips, which the operator takes off first.
    std::vector<Micrometres> lines_x = FreeLines(node, pieces, inside, true);
    std::vector<int> inside_y = inside;
    std::vector<Micrometres> lines_y = FreeLines(node, pieces, inside_y, false);
    const bool along_x = !lines_x.empty() && (lines_y.empty() || lines_x.size() <= lines_y.size());
    if (!along_x && lines_y.empty()) return std::nullopt;  // the pieces interlock
    std::vector<Micrometres>& lines = along_x ? lines_x : lines_y;
    if (!along_x) inside = std::move(inside_y);
    cut.kind = CutKind::kStack;
    cut.axis = along_x ? 'x' : 'y';
    // Pieces are sorted along the axis and no line crosses one, so each part takes a run.
    std::size_t next = 0;
    for (std::size_t k = 0; k <= lines.size(); ++k) {
      const Rect part = Slice(node, along_x, k == 0 ? Low(node, along_x) : lines[k - 1],
                              k == lines.size() ? High(node, along_x) : lines[k]);
      std::vector<int> part_pieces;
      while (next < inside.size() && Low(pieces[inside[next]], along_x) < High(part, along_x)) {
        part_pieces.push_back(inside[next++]);
      }
      cut.parts.push_back(id + static_cast<int>(waiting.size()) + 1);
      waiting.emplace_back(part, std::move(part_pieces));
    }
    for (const Micrometres at : lines) cut.at.push_back(at - Low(node, along_x));
  }
  return nodes;
}

}  // namespace sheetora::layout
