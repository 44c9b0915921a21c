// A print run on top of a layout: sheets to print, parent sheets to buy, their weight and cost.
#pragma once

#include <cstdint>

#include "layout/layout.h"
#include "layout/pack.h"

namespace sheetora::layout {

/// The most press sheets that guillotine cuts give from one parent sheet (no margins or bleed):
/// either way round when the grain is free, else the parent's way round: the packing's ups, 1
/// without a parent.
PackResult PressSheetsPerParent(const Request& request, const Limits& limits);

/// The job's figures for `ups` pieces per press sheet; an answer with only `error` set when
/// nothing can be planned (no piece fits the press sheet, or the press sheet fits no parent).
JobAnswer PlanJob(const Request& request, std::int64_t ups, std::int64_t per_parent);

}  // namespace sheetora::layout
