// A plain gang planner kept as the baseline of the gang benchmark: each job alone on its best
// layout, shelf and free-rectangle gangs of jobs with similar quantities, and an integer
// programme over the layouts so found.
#pragma once

#include "layout/gang/gang.h"

namespace sheetora::bench {

struct ReferencePlan {
  bool found = false;
  double cost = 0;
  std::int64_t sheets = 0;
  int layouts = 0;
};

ReferencePlan PlanReference(const layout::gang::GangRequest& request);

/// Each job printed alone on its best layout: the sheets and layouts of that plan.
ReferencePlan PlanAlone(const layout::gang::GangRequest& request);

}  // namespace sheetora::bench
