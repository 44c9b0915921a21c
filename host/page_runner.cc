#include "host/page_runner.h"

#include <dlfcn.h>

#include <exception>
#include <string>

#include "pages/page_table.h"
#include "runtime/error_log.h"
#include "runtime/errors.h"

namespace sheetora {
namespace {

// RunWithHostObjects for any callable: the page's own entry is called directly, so the page-end
// signal unwinds one frame fewer than through a std::function.
template <typename Body>
PageOutcome RunGuarded(Request& request, Server& server, std::string_view what, const Body& body) {
  PageOutcome outcome;
  const ObjectContextScope scope({&request, &outcome.response, &server});
  std::string failure;
  try {
    body();
    return outcome;
  } catch (const PageEnd&) {
    // The page ended its response itself.
    return outcome;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  // Every page traps its own errors, so this is a fault of the host or the runtime itself.
  std::string line = "\\Sheetora_Web\\host, ";
  line.append(what).append(": ").append(failure);
  WriteErrorLog(line);
  outcome.status = 500;
  return outcome;
}

// The page is made outside the run, so that the page-end signal unwinds no frame that owns it.
PageOutcome RunRow(const PageRow& row, Request& request, Server& server) {
  const std::unique_ptr<Page> page = row.make();
  return RunGuarded(request, server, row.class_name, [&] { page->AllTORVA(); });
}

}  // namespace

PageOutcome RunWithHostObjects(Request& request, Server& server, std::string_view what,
                               const std::function<void()>& body) {
  return RunGuarded(request, server, what, body);
}

PageOutcome RunPage(Page& page, Request& request, Server& server) {
  return RunGuarded(request, server, page.page_name(), [&] { page.AllTORVA(); });
}

PageOutcome RunPage(std::string_view class_name, Request& request, Server& server) {
  if (const PageRow* row = FindPageByClass(class_name)) return RunRow(*row, request, server);
  return {.status = 404};
}

std::filesystem::path PageLibraryFolder() {
  // Any function of the library tells where the library was loaded from.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PageTable), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code ec;
  auto path = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path(info.dli_fname).parent_path() : path.parent_path();
}

PageOutcome ServeSitePage(std::string_view url_path, Request& request, Server& server) {
  if (const PageRow* row = FindPageByPath(url_path)) return RunRow(*row, request, server);
  return {.status = 404};
}

}  // namespace sheetora
