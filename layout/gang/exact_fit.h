// Whether a handful of pieces fit one guillotine layout, decided exactly: the proof that lets
// a single-layout gang of a few large pieces show its run length is the least, where the
// programme over fractions of layouts cannot.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"

namespace sheetora::layout::gang {

enum class Fit { kFits, kNone, kUnknown };

struct FitAnswer {
  Fit fit = Fit::kUnknown;
  std::optional<Pattern> pattern;  ///< with kFits
};

/// Whether one guillotine layout holds at least `counts[i]` pieces of each item: every cut of
/// the area and every way to share the pieces between its two sides, memoised, with items of
/// the same cells as one. kUnknown when the pieces are too many to try or the budget ran out.
FitAnswer ExactFit(const Model& model, const std::vector<std::int64_t>& counts, Budget& budget);

/// ExactFit on a share of `budget` small enough to try at every run length of a search.
FitAnswer ExactFitShare(const Model& model, const std::vector<std::int64_t>& counts,
                        Budget& budget);

}  // namespace sheetora::layout::gang
