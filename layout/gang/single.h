// The single-plate gang: one layout printed R times until every quantity is met. Job i then
// needs ceil(q_i / R) pieces on the sheet; the search looks for the least R whose pieces fit.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

inline std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

/// The pieces of each item of `items` one layout needs when printed `runs` times (0 elsewhere).
std::vector<std::int64_t> CopiesAt(const Model& model, const std::vector<int>& items,
                                   std::int64_t runs);

/// The least n >= low with `fits(n)`, for `fits` monotone in n and true at `high`.
template <typename Fits>
std::int64_t LeastFitting(std::int64_t low, std::int64_t high, Fits fits) {
  while (low < high) {
    const std::int64_t mid = low + (high - low) / 2;
    if (fits(mid)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

/// The least run length whose pieces could fit `layouts` sheets by area: no single layout of
/// `items` prints fewer sheets (with `layouts` > 1: no plan of that many layouts, each holding
/// one layout's copies of its items).
std::int64_t SingleRunBound(const Model& model, const std::vector<int>& items, int layouts = 1);

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
