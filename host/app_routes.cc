#include "host/app_routes.h"

#include <array>

#include "host/api_routes.h"
#include "host/press_routes.h"
#include "layout/api.h"
#include "pages/planner/gang.h"
#include "pages/planner/planner.h"
#include "press/impose_api.h"

namespace sheetora {
namespace {

constexpr std::array kAppRoutes = {
    // The layout engine, JSON in and out.
    AppRoute{.path = "/api/v1/layout",
             .handler = &ServeLayoutApi,
             .max_body_bytes = layout::kMaxRequestBytes},
    // Its OpenAPI description, a fixed document.
    AppRoute{.path = "/api/v1/openapi.json", .handler = &ServeOpenApi, .compute = false},
    // The gang planner, JSON in and out.
    AppRoute{.path = "/api/v1/gang",
             .handler = &ServeGangApi,
             .max_body_bytes = layout::kMaxRequestBytes},
    AppRoute{.path = "/plan", .handler = &planner::ServePlanPage},     // the job planner page
    AppRoute{.path = "/plan.svg", .handler = &planner::ServePlanSvg},  // its drawing
    AppRoute{.path = "/plan.pdf", .handler = &planner::ServePlanPdf},  // its printable cut sheet
    AppRoute{.path = "/plan.ppf", .handler = &planner::ServePlanPpf},  // its cut data, CIP3 PPF
    AppRoute{.path = "/plan.jdf", .handler = &planner::ServePlanJdf},  // its cut data, JDF
#ifndef SHEETORA_WITHOUT_QPDF
    // The imposed press sheet: a layout request and the artwork PDF, streamed to disk.
    AppRoute{.path = "/api/v1/impose",
             .handler = &ServeImposeApi,
             .max_body_bytes = press::kMaxImposeBodyBytes,
             .body_to_file = true},
#endif
    AppRoute{.path = "/gang", .handler = &planner::ServeGangPage},  // several jobs on shared sheets
    AppRoute{.path = "/gang.svg", .handler = &planner::ServeGangSvg},  // a layout of the gang plan
    AppRoute{.path = "/gang.pdf",
             .handler = &planner::ServeGangPdf},  // the plan and each layout's cut sheet
};

}  // namespace

std::span<const AppRoute> AppRoutes() { return kAppRoutes; }

const AppRoute* FindAppRoute(std::span<const AppRoute> routes, std::string_view url_path) {
  for (const AppRoute& route : routes) {
    if (route.path == url_path) return &route;
  }
  return nullptr;
}

}  // namespace sheetora
