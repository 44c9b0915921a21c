// The host's routes beside the classic pages: the layout engine's API and the job planner. They
// answer in UTF-8 bytes of their own content type; nothing of the classic pages runs for them.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetora {

struct AppRequest {
  std::string_view method;  ///< "GET", "HEAD" or "POST"
  std::string_view path;
  std::vector<std::pair<std::string, std::string>> query;  ///< percent-decoded, in order
  std::string_view content_type;
  std::string_view accept_language;  ///< the Accept-Language header, "" when absent
  std::string_view body;             ///< the raw body, at most the host's body limit
};

struct AppAnswer {
  unsigned status = 200;
  std::string content_type;  ///< e.g. "application/json; charset=utf-8"
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  ///< extra response headers
};

using AppHandler = AppAnswer (*)(const AppRequest&);

struct AppRoute {
  std::string_view path;  ///< with the leading slash, matched exactly
  AppHandler handler;
};

/// The routes, one row each.
std::span<const AppRoute> AppRoutes();

/// The route for a URL path, or null: the classic pages then serve it.
const AppRoute* FindAppRoute(std::string_view url_path);

}  // namespace sheetora
