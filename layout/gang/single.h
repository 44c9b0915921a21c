// The single-plate gang: one layout printed R times until every quantity is met. Job i then
// needs ceil(q_i / R) pieces on the sheet; the search looks for the least R whose pieces fit.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

/// The least run length whose pieces could fit by area: no single layout of `items` prints
/// fewer sheets.
std::int64_t SingleRunBound(const Model& model, const std::vector<int>& items);

/// The run lengths from `low` to `high` (both included) below which the copies of some item of
/// `items` grow: between two of them the copies stay the same, so only these need trying.
std::vector<std::int64_t> RunBreaks(const Model& model, const std::vector<int>& items,
                                    std::int64_t low, std::int64_t high);

struct SingleLayout {
  Pattern pattern;
  std::int64_t runs = 0;
};

/// How hard to look for a single layout: the quick packers for a group among many; the strip
/// programme too where the plan has few layouts; trying every cut too where it is the plan.
enum class Effort { kQuick, kTight, kExhaustive };

/// One layout holding every item of `items` and the runs it needs; nullopt when no run length
/// found one that fits.
std::optional<SingleLayout> SingleLayoutPlan(const Model& model, const std::vector<int>& items,
                                             Budget& budget, Effort effort = Effort::kQuick);

}  // namespace sheetora::layout::gang
