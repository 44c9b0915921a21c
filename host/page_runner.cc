#include "host/page_runner.h"

#include <exception>
#include <string>

#include "host/routing_table.h"
#include "pages/catalogue.h"
#include "runtime/error_log.h"
#include "runtime/errors.h"

namespace sheetora {

PageOutcome RunPage(std::string_view class_name, Request& request, Server& server) {
  PageOutcome outcome;
  const ObjectContextScope scope({&request, &outcome.response, &server});
  std::string failure;
  try {
    auto page = CreatePage(class_name);
    if (!page) {
      outcome.status = 404;
      return outcome;
    }
    try {
      page->AllTORVA();
    } catch (const PageEnd&) {
      // The page ended its response itself.
    }
    return outcome;
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "Unknown error";
  }
  // Every page traps its own errors, so this is a fault of the host or the runtime itself.
  std::string line = "\\Sheetora_Web\\host, ";
  line.append(class_name).append(": ").append(failure);
  WriteErrorLog(line);
  outcome.status = 500;
  return outcome;
}

PageOutcome ServeSitePage(std::string_view url_path, Request& request, Server& server) {
  if (const auto class_name = FindPageClass(url_path)) return RunPage(*class_name, request, server);
  return {.status = 404};
}

}  // namespace sheetora
