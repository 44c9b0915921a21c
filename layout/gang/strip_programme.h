// The tight fit check of the single-layout gang: strips across the sheet, each a row of columns
// of stacked cells, the strips' contents and how many of each chosen by an integer programme.
// Greedy packers stop near nine tenths of the sheet; a plate of a dozen jobs often needs more.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

/// A layout of strips with at least `counts[i]` pieces of each item, or nullopt when the
/// programme found none (which proves nothing of other layouts).
std::optional<Pattern> PackStripProgramme(const Model& model,
                                          const std::vector<std::int64_t>& counts, Budget& budget);

}  // namespace sheetora::layout::gang
