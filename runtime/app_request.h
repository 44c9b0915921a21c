// The request and answer of a route beside the classic pages (the layout engine's API, the job
// planner and the like): plain values, so that pages below the host can serve them.
#pragma once

#include <filesystem>
#include <stop_token>
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
  std::string_view body;  ///< the raw body, at most the route's body limit; empty with body_file
  /// The file that holds the body, for a route that streams its body to disk; empty otherwise.
  /// The host removes it after the answer.
  std::filesystem::path body_file;
  /// Requested when the client hangs up or the host stops: the work is to end as a time limit
  /// would end it, and what it answers then is sent when anybody is still there to read it.
  std::stop_token stop;
};

struct AppAnswer {
  unsigned status = 200;
  std::string content_type;  ///< e.g. "application/json; charset=utf-8"
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;  ///< extra response headers
};

}  // namespace sheetora
