// Plans of two layouts, each printed its own number of times: how few sheets they can print by
// area, and the search for such a plan, where the programme over fractions of layouts and the
// single-layout groups leave the plan far from the bound.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

/// Each item's copies on two layouts printed `first` and `second` times (first >= second >= 1)
/// that meet its quantity, no layout holding more than any can, chosen for the least cover:
/// `weight` of the first layout's area plus 1 - `weight` of the second's (infinite where some
/// item cannot be met).
struct TwoRunCopies {
  std::vector<std::int64_t> first, second;  ///< by item
  double cover = 0;
  double first_area = 0, second_area = 0;  ///< the cells' areas on each layout
};
TwoRunCopies LeastCover(const Model& model, std::int64_t first, std::int64_t second, double weight,
                        Budget& budget);

/// Whether two layouts printed `first` and `second` times might hold every quantity by area.
/// Each layout covers at most the usable area, so for any weight the weighted cover of the
/// copies is at most that area too: where even the least cover exceeds it, they cannot. The
/// least cover is concave in the weight, so the weight that proves most is found by golden
/// section.
bool TwoRunsFit(const Model& model, std::int64_t first, std::int64_t second, Budget& budget);

/// The fewest sheets two layouts print together, by area (TwoRunsFit): for each second run on
/// a grid growing by a hundredth, the least first run that might fit. Fewer runs of either
/// layout need more copies, so every second run from one grid point to the next needs at
/// least the first run of the next, and the bound gives up at most that step.
std::int64_t TwoRunSheets(const Model& model, Budget& budget);

struct TwoLayouts {
  Pattern first, second;
  std::int64_t first_runs = 0, second_runs = 0;
};

/// Two layouts printing fewer than `beat` sheets together, or nullopt when none was found: for
/// second runs on a grid, the least first run whose copies, shared between the layouts so that
/// their areas are alike, the packers fit.
std::optional<TwoLayouts> TwoLayoutPlan(const Model& model, std::int64_t beat, Budget& budget);

/// Two layouts printing fewer than `beat` sheets together, each holding whole items and printed
/// until they are met, or nullopt when none was found. The item that needs the longest run on
/// its own (few of it fit a sheet) anchors the first layout; the others join it, the most paper
/// first, while its sheets at that run hold them, and the rest share the second. A sharing of
/// copies by area misses this where the anchor's sheets leave room only for some items.
std::optional<TwoLayouts> TwoGroupsPlan(const Model& model, std::int64_t beat, Budget& budget);

}  // namespace sheetora::layout::gang
