#include "host/app_routes.h"

#include <array>

#include "host/api_routes.h"

namespace sheetora {
namespace {

constexpr std::array<AppRoute, 2> kAppRoutes = {{
    {"/api/v1/layout", &ServeLayoutApi},
    {"/api/v1/openapi.json", &ServeOpenApi},
}};

}  // namespace

std::span<const AppRoute> AppRoutes() { return kAppRoutes; }

const AppRoute* FindAppRoute(std::string_view url_path) {
  for (const AppRoute& route : kAppRoutes) {
    if (route.path == url_path) return &route;
  }
  return nullptr;
}

}  // namespace sheetora
