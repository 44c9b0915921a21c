// Runs one page object for one request, the way the host does, without any socket.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

#include "runtime/host_objects.h"
#include "runtime/page.h"

namespace sheetora {

struct PageOutcome {
  int status = 200;  // 200, 404 when there is no such page, 500 when something escaped the page
  Response response;
};

/// Runs `body` for one request: installs the request's host objects on this thread meanwhile,
/// takes the page-end signal as the normal end, and logs anything else that escapes (as a fault
/// of `what`) and answers it with a 500. Tests run page objects and their methods through this.
PageOutcome RunWithHostObjects(Request& request, Server& server, std::string_view what,
                               const std::function<void()>& body);

/// Runs the page object's entry method once for the request.
PageOutcome RunPage(Page& page, Request& request, Server& server);

/// Creates the page class by its name ("Sheetora.Class61"), runs it once and releases it; a
/// name that the page table lacks is a 404.
PageOutcome RunPage(std::string_view class_name, Request& request, Server& server);

/// The folder that holds the page library: where the error log goes unless the host is told
/// another folder.
std::filesystem::path PageLibraryFolder();

/// Answers a request for a URL path of the site: the page that the page table names runs; any
/// other path is a 404.
PageOutcome ServeSitePage(std::string_view url_path, Request& request, Server& server);

}  // namespace sheetora
