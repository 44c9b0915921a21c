#include "layout/gang/gang_api.h"

#include <variant>

#include "layout/gang/gang_json.h"
#include "layout/json.h"

namespace sheetora::layout::gang {

ApiAnswer HandleGangRequest(std::string_view body, std::stop_token stop) {
  if (body.size() > kMaxRequestBytes) return TooLargeAnswer();
  std::variant<GangRequest, RequestError> parsed = ParseGangRequest(body);
  if (const auto* error = std::get_if<RequestError>(&parsed)) {
    return {.status = 400, .body = ErrorJson(*error)};
  }
  const GangRequest& request = std::get<GangRequest>(parsed);
  const GangAnswer answer = Plan(request, std::move(stop));
  if (answer.layouts.empty()) {
    return {.status = 400,
            .body = ErrorJson({.code = ErrorCode::kNoPlan,
                               .message = "no plan was found that prints every item on so few "
                                          "layouts",
                               .field = "max_layouts"})};
  }
  return {.status = 200, .body = GangAnswerJson(answer, request)};
}

ApiAnswer GangEndpoint(std::string_view method, std::string_view body, std::stop_token stop) {
  if (method != "POST") {
    return {.status = 405,
            .body = ErrorJson(
                {.code = ErrorCode::kMethod, .message = "this address takes POST", .field = ""}),
            .allow = "POST"};
  }
  return HandleGangRequest(body, std::move(stop));
}

}  // namespace sheetora::layout::gang
