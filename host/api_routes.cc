#include "host/api_routes.h"

#include <utility>

#include "layout/api.h"
#include "layout/gang/gang_api.h"

namespace sheetora {
namespace {

AppAnswer FromApi(layout::ApiAnswer api) {
  AppAnswer answer{.status = api.status,
                   .content_type = std::string(layout::kJsonContentType),
                   .body = std::move(api.body)};
  if (!api.allow.empty()) answer.headers.emplace_back("Allow", api.allow);
  return answer;
}

}  // namespace

AppAnswer ServeLayoutApi(const AppRequest& request) {
  return FromApi(layout::LayoutEndpoint(request.method, request.body));
}

AppAnswer ServeGangApi(const AppRequest& request) {
  return FromApi(layout::gang::GangEndpoint(request.method, request.body));
}

AppAnswer ServeOpenApi(const AppRequest& request) {
  return FromApi(layout::OpenApiEndpoint(request.method));
}

AppAnswer ApiTooLarge() { return FromApi(layout::TooLargeAnswer()); }

}  // namespace sheetora
