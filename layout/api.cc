#include "layout/api.h"

#include <string>
#include <utility>
#include <variant>

#include "layout/answer_cache.h"
#include "layout/json.h"
#include "layout/plan.h"

namespace sheetora::layout {
namespace {

ApiAnswer MethodNotAllowed(std::string_view allow) {
  return {.status = 405,
          .body = ErrorJson({.code = ErrorCode::kMethod,
                             .message = "this address takes " + std::string(allow),
                             .field = ""}),
          .allow = allow};
}

}  // namespace

ApiAnswer HandleLayoutRequest(std::string_view body, const std::stop_token& stop) {
  if (body.size() > kMaxRequestBytes) return TooLargeAnswer();
  std::variant<Request, RequestError> parsed = ParseRequest(body);
  if (const auto* error = std::get_if<RequestError>(&parsed)) {
    return {.status = 400, .body = ErrorJson(*error)};
  }
  return {.status = 200, .body = AnswerJson(PlanOnce(std::get<Request>(parsed), stop))};
}

ApiAnswer LayoutEndpoint(std::string_view method, std::string_view body,
                         const std::stop_token& stop) {
  if (method != "POST") return MethodNotAllowed("POST");
  return HandleLayoutRequest(body, stop);
}

ApiAnswer OpenApiEndpoint(std::string_view method) {
  if (method != "GET" && method != "HEAD") return MethodNotAllowed("GET, HEAD");
  return {.status = 200, .body = std::string(OpenApiDocument())};
}

ApiAnswer TooLargeAnswer(std::size_t limit) {
  return {.status = 413,
          .body = ErrorJson(
              {.code = ErrorCode::kTooLarge,
               .message = "the request is larger than " + std::to_string(limit) + " bytes",
               .field = ""})};
}

}  // namespace sheetora::layout
