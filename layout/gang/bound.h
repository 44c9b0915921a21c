// How few layouts can hold the pieces: a lower bound on the cost of plans with a few layouts,
// where the programme over fractions of layouts says little.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/master.h"
#include "layout/gang/model.h"
#include "layout/gang/pricing.h"

namespace sheetora::layout::gang {

/// Whether two layouts printed `first` and `second` times (first >= second >= 1) might hold
/// every quantity by area. Each layout covers at most the usable area, so for any weight w in
/// [0, 1] the items' copies, w of the first layout's area plus 1 - w of the second's, cover at
/// most that area too: where even the least such cover of each item exceeds it, they cannot.
/// The least cover is concave in w, so the weight that proves most is found by golden section.
bool TwoRunsFit(const Model& model, std::int64_t first, std::int64_t second, Budget& budget);

/// The fewest sheets two layouts print together, by area (TwoRunsFit): for each second run on
/// a grid growing by a hundredth, the least first run that might fit. Fewer runs of either
/// layout need more copies, so every second run from one grid point to the next needs at
/// least the first run of the next, and the bound gives up at most that step.
std::int64_t TwoRunSheets(const Model& model, Budget& budget);

/// A plan printing S sheets holds at least ceil(q_i / S) pieces of each item on one of its
/// layouts (q_i <= sum_p runs_p count_pi <= S max_p count_pi), so its k layouts together hold
/// those counts. The least S for each k (by area, then by the programme over every layout),
/// plus k layouts' costs, at least `floor` (a bound already known). `pool` lends its patterns
/// and gains new ones.
double LayoutCountBound(const Model& model, const Costs& costs, double floor,
                        std::vector<Pattern>& pool, Pricers pricers, Budget& budget);

}  // namespace sheetora::layout::gang
