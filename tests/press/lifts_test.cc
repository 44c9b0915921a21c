// The cut list in lifts: replayed on the sheet to exactly the layout's pieces, and its knife
// cycles against the fewest an exhaustive search finds on small layouts.
#include "layout/lifts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "layout/cut_program.h"
#include "layout/plan.h"
#include "press/sheet.h"
#include "tests/press/mm.h"

namespace sheetora::layout {
namespace {

using press::testing::Mm;

bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x_end() && b.x < a.x_end() && a.y < b.y_end() && b.y < a.y_end();
}

/// Replays the lifts from the whole sheet: each layer must be a strip lying free on the table,
/// all layers of a lift the lift's size; cutting them at the lift's offsets leaves strips for
/// later lifts. Returns the faults; at the end the strips must be exactly the pieces and waste.
std::vector<std::string> Replay(const Request& request, const Answer& answer) {
  std::vector<std::string> faults;
  const std::vector<CutNode>& cuts = *answer.cuts;
  std::multiset<std::tuple<Micrometres, Micrometres, Micrometres, Micrometres>> table = {
      {0, 0, request.sheet.length, request.sheet.width}};
  for (const Lift& lift : *answer.sequence) {
    if (static_cast<int>(lift.layers.size()) > request.max_stack) faults.emplace_back("too high");
    for (const int id : lift.layers) {
      const CutNode& node = cuts.at(id);
      const auto strip = std::tuple{node.x, node.y, node.length, node.width};
      const auto found = table.find(strip);
      if (found == table.end()) {
        faults.emplace_back("layer " + std::to_string(id) + " is not on the table");
        continue;
      }
      table.erase(found);
      if (node.length != lift.length || node.width != lift.width) faults.emplace_back("odd layer");
      Micrometres from = 0;
      const Micrometres side = lift.axis == 'x' ? node.length : node.width;
      for (std::size_t k = 0; k <= lift.at.size(); ++k) {
        const Micrometres to = k < lift.at.size() ? lift.at[k] : side;
        if (to <= from) faults.emplace_back("offsets out of order");
        table.insert(lift.axis == 'x' ? std::tuple{node.x + from, node.y, to - from, node.width}
                                      : std::tuple{node.x, node.y + from, node.length, to - from});
        from = to;
      }
    }
  }
  std::vector<Rect> pieces = sheetora::press::TrimRects(request, answer.blocks);
  std::set<std::tuple<Micrometres, Micrometres, Micrometres, Micrometres>> wanted;
  for (const Rect& r : pieces) wanted.insert({r.x, r.y, r.length, r.width});
  for (const auto& strip : table) {
    if (wanted.erase(strip) == 1) continue;
    const auto [x, y, l, w] = strip;
    for (const Rect& piece : pieces) {
      if (Overlap({x, y, l, w}, piece)) faults.emplace_back("a strip left holds part of a piece");
    }
  }
  if (!wanted.empty()) faults.push_back(std::to_string(wanted.size()) + " pieces never cut free");
  return faults;
}

/// The fewest knife cycles when each stack of the program is cut on its own lines, together with
/// at most max_stack others that are the same strip: the same size, the same lines, and the same
/// pieces at the same places in it, found from the geometry. Exhaustive over every order and
/// every choice of layers.
std::int64_t FewestCycles(const Request& request, const std::vector<CutNode>& cuts,
                          const std::vector<Rect>& pieces) {
  std::vector<int> stacks;
  std::vector<int> parent(cuts.size(), -1);
  for (const CutNode& node : cuts) {
    for (const int part : node.parts) parent[part] = node.id;
    if (node.kind == CutKind::kStack) stacks.push_back(node.id);
  }
  // What a strip is: its size, its lines and its pieces relative to its corner.
  std::vector<std::vector<Micrometres>> what(cuts.size());
  for (const int id : stacks) {
    const CutNode& n = cuts[id];
    what[id] = {n.length, n.width, *n.axis};
    what[id].insert(what[id].end(), n.at.begin(), n.at.end());
    std::vector<std::vector<Micrometres>> inside;
    for (const Rect& p : pieces) {
      if (Overlap(p, {n.x, n.y, n.length, n.width})) {
        inside.push_back({p.x - n.x, p.y - n.y, p.length, p.width});
      }
    }
    std::sort(inside.begin(), inside.end());
    for (const auto& p : inside) what[id].insert(what[id].end(), p.begin(), p.end());
  }
  const std::size_t n = stacks.size();
  std::map<std::uint32_t, std::int64_t> memo;
  const std::function<std::int64_t(std::uint32_t)> best = [&](std::uint32_t done) {
    if (done == (1U << n) - 1) return std::int64_t{0};
    if (const auto it = memo.find(done); it != memo.end()) return it->second;
    // Strips on the table: not yet cut, their parent cut (or the sheet).
    std::vector<std::size_t> free;
    for (std::size_t i = 0; i < n; ++i) {
      if (done & (1U << i)) continue;
      const int p = parent[stacks[i]];
      const auto at = std::find(stacks.begin(), stacks.end(), p);
      if (p < 0 || (done & (1U << (at - stacks.begin())))) free.push_back(i);
    }
    std::int64_t result = std::numeric_limits<std::int64_t>::max();
    for (std::uint32_t subset = 1; subset < (1U << free.size()); ++subset) {
      std::uint32_t chosen = 0;
      int layers = 0;
      bool same = true;
      std::size_t first = n;
      for (std::size_t k = 0; k < free.size(); ++k) {
        if (!(subset & (1U << k))) continue;
        if (first == n) first = free[k];
        same = same && what[stacks[free[k]]] == what[stacks[first]];
        chosen |= 1U << free[k];
        ++layers;
      }
      if (!same || layers > request.max_stack) continue;
      result = std::min(
          result, static_cast<std::int64_t>(cuts[stacks[first]].at.size()) + best(done | chosen));
    }
    return memo[done] = result;
  };
  return best(0);
}

TEST(LiftsTest, ReplayToThePiecesWithTheFewestCycles) {
  std::mt19937 random(18);
  int compared = 0, stacked = 0;
  for (int round = 0; round < 300; ++round) {
    const auto mm = [&](int low, int high) {
      return Mm(std::uniform_int_distribution<int>(low, high)(random));
    };
    Request request{.sheet = {mm(60, 140), mm(50, 110)}, .piece = {mm(15, 40), mm(10, 30)}};
    request.bleed = round % 3 == 0 ? 0 : mm(0, 2);
    request.gutter = round % 2 == 0 ? 0 : mm(0, 3);
    request.margins.gripper = mm(0, 4);
    request.max_stack = 1 + round % 4;
    request.time_limit_ms = 200;
    const Answer answer = Plan(request);
    if (!answer.cuts) continue;
    ASSERT_TRUE(answer.sequence);
    const std::vector<std::string> faults = Replay(request, answer);
    EXPECT_TRUE(faults.empty()) << faults.front() << " in round " << round;
    std::int64_t unstacked = 0;
    for (const CutNode& node : *answer.cuts) unstacked += static_cast<std::int64_t>(node.at.size());
    const std::int64_t cycles = Cycles(*answer.sequence);
    stacked += cycles < unstacked ? 1 : 0;
    std::size_t stack_nodes = 0;
    for (const CutNode& node : *answer.cuts) stack_nodes += node.kind == CutKind::kStack ? 1 : 0;
    if (stack_nodes > 14) continue;  // beyond the exhaustive search
    EXPECT_EQ(cycles, FewestCycles(request, *answer.cuts,
                                   sheetora::press::TrimRects(request, answer.blocks)))
        << "round " << round;
    ++compared;
  }
  EXPECT_GT(compared, 100);
  EXPECT_GT(stacked, 50) << "identical strips are common in these layouts";
}

}  // namespace
}  // namespace sheetora::layout
