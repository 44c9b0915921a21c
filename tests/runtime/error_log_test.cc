#include "runtime/error_log.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "runtime/host_objects.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

class ErrorLog : public ::testing::Test {
 protected:
  void SetUp() override { server_.log_dir = harness_.log_dir(); }
  void Log(std::string_view text) { WriteErrorLog(text); }

  testing::PageHarness harness_;
  Server server_;
  ObjectContextScope scope_{{nullptr, nullptr, &server_}};
};

// A full disk cuts a line short; the next line must not be glued onto the torn one.
TEST_F(ErrorLog, LineAfterATornOneStartsOnAFreshLine) {
  Log("\\Sheetora_Web\\A, first: whole");
  const auto size = std::filesystem::file_size(harness_.log_dir() / kErrorLogName);
  // The file may grow by 10 bytes only: the next line is torn after its date.
  const auto old_handler = signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit limit = old_limit;
  limit.rlim_cur = size + 10;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  Log("\\Sheetora_Web\\B, second: torn");
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  Log("\\Sheetora_Web\\C, third: whole");

  const std::vector<std::string> lines = harness_.LogLines();
  ASSERT_EQ(lines.size(), 3u) << harness_.LogText();
  EXPECT_EQ(lines[0], "\\Sheetora_Web\\A, first: whole");
  EXPECT_EQ(lines[1].size(), 10u);  // the torn part, a date
  EXPECT_EQ(lines[2], "\\Sheetora_Web\\C, third: whole");
}

}  // namespace
}  // namespace sheetora
