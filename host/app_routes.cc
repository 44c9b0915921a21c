#include "host/app_routes.h"

#include <array>

#include "host/api_routes.h"
#include "host/press_routes.h"
#include "pages/planner/gang.h"
#include "pages/planner/planner.h"

namespace sheetora {
namespace {

constexpr std::array kAppRoutes = {
    AppRoute{"/api/v1/layout", &ServeLayoutApi},      // the layout engine, JSON in and out
    AppRoute{"/api/v1/openapi.json", &ServeOpenApi},  // its OpenAPI description
    AppRoute{"/api/v1/gang", &ServeGangApi},          // the gang planner, JSON in and out
    AppRoute{"/plan", &planner::ServePlanPage},       // the job planner page
    AppRoute{"/plan.svg", &planner::ServePlanSvg},    // its drawing
    AppRoute{"/plan.pdf", &planner::ServePlanPdf},    // its printable cut sheet
    AppRoute{"/plan.ppf", &planner::ServePlanPpf},    // its cut data, CIP3 PPF
    AppRoute{"/plan.jdf", &planner::ServePlanJdf},    // its cut data, a JDF cutting process
    AppRoute{"/api/v1/impose", &ServeImposeApi},      // the imposed press sheet from artwork
    AppRoute{"/gang", &planner::ServeGangPage},       // several jobs on shared sheets
    AppRoute{"/gang.svg", &planner::ServeGangSvg},    // a layout of the gang plan
    AppRoute{"/gang.pdf", &planner::ServeGangPdf},    // the plan and each layout's cut sheet
};

}  // namespace

std::span<const AppRoute> AppRoutes() { return kAppRoutes; }

const AppRoute* FindAppRoute(std::string_view url_path) {
  for (const AppRoute& route : kAppRoutes) {
    if (route.path == url_path) return &route;
  }
  return nullptr;
}

}  // namespace sheetora
