// Runs page objects in-process for a given form and cookie, and reads back bytes and log lines.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/page_runner.h"
#include "runtime/gb2312.h"

namespace sheetora::testing {

using Fields = std::vector<std::pair<std::string, std::string>>;

struct CookieSubkey {
  std::string cookie, subkey, value;
};

/// The bytes the host sends for a page body: the page's UTF-8 text in GB2312.
inline std::string Gb2312(std::string_view html) { return Utf8ToGb2312(html); }

/// The bytes of tests/golden/<name>: a whole page exactly as the host sends it (GB2312, CR LF).
std::string Golden(std::string_view name);

/// Runs pages the way the host does, without a socket. Each harness logs to a folder of its own,
/// removed with it.
class PageHarness {
 public:
  PageHarness();
  ~PageHarness();
  PageHarness(const PageHarness&) = delete;
  PageHarness& operator=(const PageHarness&) = delete;

  /// Runs the page class ("Sheetora.Class61") for a post of these fields and cookies.
  PageOutcome Run(std::string_view class_name, const Fields& form = {},
                  const std::vector<CookieSubkey>& cookies = {});
  /// Runs a page object's entry method the same way; the object keeps its page values after.
  PageOutcome Run(Page& page, const Fields& form = {},
                  const std::vector<CookieSubkey>& cookies = {});
  /// Runs `body`, which calls methods of page objects, inside a request of these fields.
  PageOutcome RunWith(const std::function<void()>& body, const Fields& form = {});
  /// The body (UTF-8) of a run.
  std::string Html(std::string_view class_name, const Fields& form = {},
                   const std::vector<CookieSubkey>& cookies = {});

  /// The log lines written so far, each without its date, time and four blanks, and without CR LF.
  std::vector<std::string> LogLines() const;
  /// How often `text` was logged: its lines plus the counts of its "... repeated N times" lines.
  /// -1 when the log holds any other line.
  long LoggedCount(std::string_view text) const;
  /// The raw log file content.
  std::string LogText() const;
  const std::filesystem::path& log_dir() const { return log_dir_; }
  /// The host settings that every run shares; pages may change them.
  const Server& server() const { return server_; }

 private:
  PageOutcome Serve(const Fields& form, const std::vector<CookieSubkey>& cookies,
                    const std::function<PageOutcome(Request&, Server&)>& serve);

  std::filesystem::path log_dir_;
  Server server_;  // one for all runs, as a host has
};

}  // namespace sheetora::testing
