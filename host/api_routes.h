// The layout engine's routes: thin adapters from the host's requests to the engine's API.
#pragma once

#include "host/app_routes.h"

namespace sheetora {

/// POST /api/v1/layout.
AppAnswer ServeLayoutApi(const AppRequest& request);
/// POST /api/v1/gang.
AppAnswer ServeGangApi(const AppRequest& request);
/// GET /api/v1/openapi.json.
AppAnswer ServeOpenApi(const AppRequest& request);
/// What a route under /api/ answers for a body over the host's limit.
AppAnswer ApiTooLarge();

}  // namespace sheetora
