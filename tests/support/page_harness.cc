#include "tests/support/page_harness.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "runtime/error_log.h"

namespace sheetora::testing {

PageHarness::PageHarness() {
  std::string pattern = (std::filesystem::temp_directory_path() / "sheetora-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  log_dir_ = pattern;
  server_.log_dir = log_dir_;
}

PageHarness::~PageHarness() {
  std::error_code ec;
  std::filesystem::remove_all(log_dir_, ec);
}

PageOutcome PageHarness::Serve(const Fields& form, const std::vector<CookieSubkey>& cookies,
                               const std::function<PageOutcome(Request&, Server&)>& serve) {
  Request request;
  for (const auto& [name, value] : form) request.AddFormField(name, value);
  for (const auto& c : cookies) request.AddCookieSubkey(c.cookie, c.subkey, c.value);
  return serve(request, server_);
}

PageOutcome PageHarness::Run(std::string_view class_name, const Fields& form,
                             const std::vector<CookieSubkey>& cookies) {
  return Serve(form, cookies, [&](Request& request, Server& server) {
    return RunPage(class_name, request, server);
  });
}

PageOutcome PageHarness::Run(Page& page, const Fields& form,
                             const std::vector<CookieSubkey>& cookies) {
  return Serve(form, cookies,
               [&](Request& request, Server& server) { return RunPage(page, request, server); });
}

PageOutcome PageHarness::RunWith(const std::function<void()>& body, const Fields& form) {
  return Serve(form, {}, [&](Request& request, Server& server) {
    return RunWithHostObjects(request, server, "test", body);
  });
}

std::string PageHarness::Html(std::string_view class_name, const Fields& form,
                              const std::vector<CookieSubkey>& cookies) {
  return Run(class_name, form, cookies).response.body();
}

std::string Golden(std::string_view name) {
  const auto path = std::filesystem::path(SHEETORA_SOURCE_DIR) / "tests" / "golden" / name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("no golden file " + path.string());
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string PageHarness::LogText() const {
  std::ifstream in(log_dir_ / kErrorLogName, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> PageHarness::LogLines() const {
  std::vector<std::string> lines;
  std::istringstream in(LogText());
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto blanks = line.find("    ");
    lines.push_back(blanks == std::string::npos ? line : line.substr(blanks + 4));
  }
  return lines;
}

long PageHarness::LoggedCount(std::string_view text) const {
  const std::string repeated = std::string(text) + " ... repeated ";
  long count = 0;
  for (const std::string& line : LogLines()) {
    if (line == text) {
      ++count;
    } else if (line.starts_with(repeated) && line.ends_with(" times")) {
      count += std::stol(line.substr(repeated.size()));
    } else {
      return -1;
    }
  }
  return count;
}

}  // namespace sheetora::testing
