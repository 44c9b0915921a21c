// The layout engine's routes: thin adapters from the host's requests to the engine's API.
#pragma once

#include <cstddef>

#include "host/app_routes.h"

namespace sheetora {

/// POST /api/v1/layout.
AppAnswer ServeLayoutApi(const AppRequest& request);
/// POST /api/v1/gang.
AppAnswer ServeGangApi(const AppRequest& request);
/// GET /api/v1/openapi.json.
AppAnswer ServeOpenApi(const AppRequest& request);
/// What a route under /api/ answers for a body over its limit.
AppAnswer ApiTooLarge(std::size_t limit);
/// What a route under /api/ answers when the host has no room for its work now.
AppAnswer ApiBusy(const char* retry_after_seconds);

}  // namespace sheetora
