// The gang planner over HTTP and on the command line: what POST /api/v1/gang answers.
#pragma once

#include <stop_token>
#include <string_view>

#include "layout/api.h"

namespace sheetora::layout::gang {

/// A gang request's body: 200 with the plan, 400 with {"error", "field"} (also when no plan
/// within max_layouts was found), 413 when too large.
ApiAnswer HandleGangRequest(std::string_view body, std::stop_token stop = {});

/// The gang endpoint for any method: POST plans, anything else is 405.
ApiAnswer GangEndpoint(std::string_view method, std::string_view body, std::stop_token stop = {});

}  // namespace sheetora::layout::gang
