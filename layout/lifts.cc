#include "layout/lifts.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace sheetora::layout {

std::vector<Lift> Lifts(const std::vector<CutNode>& cuts, int max_stack) {
  // A node's kind id names its whole subtree relative to its own corner; children have larger
  // ids than their parents, so one pass from the end names every child before its parent.
  std::map<std::vector<Micrometres>, int> kinds;
  std::vector<int> kind(cuts.size());
  std::vector<int> parent(cuts.size(), -1);
  for (std::size_t n = cuts.size(); n-- > 0;) {
    const CutNode& node = cuts[n];
    std::vector<Micrometres> key = {node.length, node.width, static_cast<Micrometres>(node.kind),
                                    node.axis.value_or(0)};
    key.insert(key.end(), node.at.begin(), node.at.end());
    key.push_back(-1);
    for (const int part : node.parts) {
      key.push_back(kind[part]);
      parent[part] = static_cast<int>(n);
    }
    kind[n] = kinds.emplace(std::move(key), static_cast<int>(kinds.size())).first->second;
  }
  std::map<int, std::vector<int>> groups;  // kind -> its stack nodes, in id order
  for (const CutNode& node : cuts) {
    if (node.kind == CutKind::kStack) groups[kind[node.id]].push_back(node.id);
  }
  std::vector<std::vector<int>> ordered;
  for (auto& [k, nodes] : groups) ordered.push_back(std::move(nodes));
  // A part is smaller than its parent, so larger strips first puts every parent first.
  const auto area = [&](const std::vector<int>& g) {
    return static_cast<double>(cuts[g[0]].length) * static_cast<double>(cuts[g[0]].width);
  };
  std::sort(ordered.begin(), ordered.end(), [&](const auto& a, const auto& b) {
    return area(a) != area(b) ? area(a) > area(b) : a[0] < b[0];
  });
  std::vector<Lift> lifts;
  const auto stack = static_cast<std::size_t>(std::max(max_stack, 1));
  for (const std::vector<int>& group : ordered) {
    const CutNode& first = cuts[group[0]];
    for (std::size_t start = 0; start < group.size(); start += stack) {
      Lift& lift = lifts.emplace_back(Lift{.length = first.length,
                                           .width = first.width,
                                           .axis = first.axis.value_or('x'),
                                           .at = first.at});
      for (std::size_t i = start; i < std::min(group.size(), start + stack); ++i) {
        const int p = parent[group[i]];
        lift.turn = lift.turn || (p >= 0 && cuts[p].axis != first.axis);
        lift.layers.push_back(group[i]);
      }
    }
  }
  return lifts;
}

std::int64_t Cycles(const std::vector<Lift>& lifts) {
  return std::accumulate(lifts.begin(), lifts.end(), std::int64_t{0},
                         [](std::int64_t sum, const Lift& lift) {
                           return sum + static_cast<std::int64_t>(lift.at.size());
                         });
}

}  // namespace sheetora::layout
