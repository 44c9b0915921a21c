// The gang planner's JSON: strict reading of requests, the exact text of answers.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "layout/gang/gang.h"

namespace sheetora::layout::gang {

/// Reads and validates a request with the same rules as the layout engine's reader.
std::variant<GangRequest, RequestError> ParseGangRequest(std::string_view text);

/// The answer as JSON text ending in a newline, keys always in the same order.
std::string GangAnswerJson(const GangAnswer& answer, const GangRequest& request);

}  // namespace sheetora::layout::gang
