// The engine over HTTP: what POST /api/v1/layout and GET /api/v1/openapi.json answer.
#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>

namespace sheetora::layout {

/// The largest request body taken, by the host and by the program alike.
inline constexpr std::size_t kMaxRequestBytes = 64 * 1024;

inline constexpr std::string_view kJsonContentType = "application/json; charset=utf-8";

/// A status with its JSON body; `allow` lists the methods when the status is 405.
struct ApiAnswer {
  unsigned status = 200;
  std::string body;
  std::string_view allow;
};

/// A planning request's body: 200 with the answer, or 400 with {"error", "field"}. A stop request
/// (the caller hung up, the host is stopping) ends the searches as the time limit would.
ApiAnswer HandleLayoutRequest(std::string_view body, const std::stop_token& stop = {});

/// The layout endpoint for any method: POST plans, anything else is 405.
ApiAnswer LayoutEndpoint(std::string_view method, std::string_view body,
                         const std::stop_token& stop = {});

/// The OpenAPI document for GET and HEAD, 405 for anything else.
ApiAnswer OpenApiEndpoint(std::string_view method);

/// 413 for a body over `limit` bytes.
ApiAnswer TooLargeAnswer(std::size_t limit = kMaxRequestBytes);

/// The OpenAPI 3.1 document of the endpoint, as kept in layout/openapi.json.
std::string_view OpenApiDocument();

}  // namespace sheetora::layout
