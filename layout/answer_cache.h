// One answer per request: the planner's page, its drawing and cut sheet, and the API plan the
// same request through a small cache of recent answers.
#pragma once

#include <stop_token>

#include "layout/layout.h"

namespace sheetora::layout {

/// Plan(request, stop), or the answer given to an equal request a moment ago. Requests are
/// compared as read (in micrometres, whatever the unit or the digits typed), so a page and the
/// PDF linked from it show one layout even when the time limit cut the search short. An answer
/// cut short by a stop request is not kept: its caller has gone.
Answer PlanOnce(const Request& request, const std::stop_token& stop = {});

}  // namespace sheetora::layout
