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

/// A plan printing S sheets holds at least ceil(q_i / S) pieces of each item on one of its
/// layouts (q_i <= sum_p runs_p count_pi <= S max_p count_pi), so its k layouts together hold
/// those counts. The least S for each k (by area, then by the programme over every layout),
/// plus k layouts' costs, at least `floor` (a bound already known) and S at least `sheets` (the
/// fewest any plan prints, as known). `pool` lends its patterns and gains new ones.
double LayoutCountBound(const Model& model, const Costs& costs, double floor, std::int64_t sheets,
                        std::vector<Pattern>& pool, Pricers pricers, Budget& budget);

}  // namespace sheetora::layout::gang
