// A whole request: validation, the reduction to the plain problem, the layout, the cut program
// and the job's figures.
#pragma once

#include <optional>

#include "layout/layout.h"

namespace sheetora::layout {

/// The first thing wrong with a request, or nothing when the engine can plan it.
std::optional<RequestError> Validate(const Request& request);

/// Plans a request that Validate accepts; stops searching at its time limit.
Answer Plan(const Request& request);

}  // namespace sheetora::layout
