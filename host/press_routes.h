// The press's routes: the imposed sheet from an uploaded artwork.
#pragma once

#include "host/app_routes.h"

namespace sheetora {

/// POST /api/v1/impose: a layout request and its artwork PDF, answered with the press sheet.
AppAnswer ServeImposeApi(const AppRequest& request);

}  // namespace sheetora
