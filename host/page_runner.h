// Runs one page object for one request, the way the host does, without any socket.
#pragma once

#include <string_view>

#include "runtime/host_objects.h"

namespace sheetora {

struct PageOutcome {
  int status = 200;  // 200, 404 when the library has no such class, 500 when the page escaped
  Response response;
};

/// Installs the request's host objects on this thread, creates the page by class name, runs its
/// entry method once and releases it. The page-end signal is the normal end of a page; anything
/// else that escapes the page is logged and answered with a 500.
PageOutcome RunPage(std::string_view class_name, Request& request, Server& server);

/// Answers a request for a URL path of the site: the page that the routing table names runs;
/// any other path is a 404.
PageOutcome ServeSitePage(std::string_view url_path, Request& request, Server& server);

}  // namespace sheetora
