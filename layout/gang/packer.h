// Sheet layouts that hold at least a given number of pieces of each item: the fit check of the
// single-layout search. Shelves across the sheet, or blocks of one item in free rectangles split
// by straight cuts: every layout found comes apart by guillotine cuts.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

/// Shuffled orders of the tight packing: enough for a few large pieces.
inline constexpr int kTightShuffles = 256;

/// A layout with at least `counts[i]` pieces of each item, or nullopt when none of the tried
/// orders and splits found one (which proves nothing). With `shuffles`, strips as deep as a
/// cell side, filled snuggest first, then free rectangles in that many shuffled orders, when
/// the rest fail: they fit tighter counts, but as layouts among several of a plan they served
/// worse on the bench than the looser ones.
std::optional<Pattern> PackCounts(const Model& model, const std::vector<std::int64_t>& counts,
                                  Budget& budget, int shuffles = 0);

}  // namespace sheetora::layout::gang
