#include "host/api_routes.h"

#include <string>
#include <utility>

#include "layout/api.h"
#include "layout/gang/gang_api.h"
#include "layout/json.h"

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
  return FromApi(layout::LayoutEndpoint(request.method, request.body, request.stop));
}

AppAnswer ServeGangApi(const AppRequest& request) {
  return FromApi(layout::gang::GangEndpoint(request.method, request.body, request.stop));
}

AppAnswer ServeOpenApi(const AppRequest& request) {
  return FromApi(layout::OpenApiEndpoint(request.method));
}

AppAnswer ApiTooLarge(std::size_t limit) { return FromApi(layout::TooLargeAnswer(limit)); }

AppAnswer ApiBusy(const char* retry_after_seconds) {
  AppAnswer answer = FromApi(
      {.status = 503,
       .body = layout::ErrorJson({.message = "the server is busy: try again in a moment"})});
  answer.headers.emplace_back("Retry-After", retry_after_seconds);
  return answer;
}

}  // namespace sheetora
