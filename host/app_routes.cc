#include "host/app_routes.h"

#include <array>

namespace sheetora {
namespace {

constexpr std::array<AppRoute, 0> kAppRoutes = {{}};

}  // namespace

std::span<const AppRoute> AppRoutes() { return kAppRoutes; }

const AppRoute* FindAppRoute(std::string_view url_path) {
  for (const AppRoute& route : kAppRoutes) {
    if (route.path == url_path) return &route;
  }
  return nullptr;
}

}  // namespace sheetora
