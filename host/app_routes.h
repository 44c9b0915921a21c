// The host's routes beside the classic pages: the layout engine's API and the job planner. They
// answer in UTF-8 bytes of their own content type; nothing of the classic pages runs for them.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "runtime/app_request.h"

namespace sheetora {

using AppHandler = AppAnswer (*)(const AppRequest&);

/// One route. Rows are written with designated initializers; what a row leaves out takes the
/// defaults below.
struct AppRoute {
  std::string_view path;  ///< with the leading slash, matched exactly
  AppHandler handler;
  /// The handler runs on the compute pool, apart from the threads that serve pages, with the
  /// connection set aside meanwhile. Only an answer that costs nothing runs inline.
  bool compute = true;
  /// The largest body accepted, 413 beyond it; 0 takes the host's limit.
  std::size_t max_body_bytes = 0;
  /// The body is streamed to a temporary file (AppRequest::body_file) as it arrives instead of
  /// being held in memory; the handler gets the request once the body is complete.
  bool body_to_file = false;
};

/// The routes, one row each.
std::span<const AppRoute> AppRoutes();

/// The route of `routes` for a URL path, or null: the classic pages then serve it.
const AppRoute* FindAppRoute(std::span<const AppRoute> routes, std::string_view url_path);

}  // namespace sheetora
