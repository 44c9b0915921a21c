#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/error_log.h"
#include "runtime/host_objects.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

// A line of its own for each writer and count; some lines are long enough to need several pages
// of the kernel's buffer, where a writer that wrote in pieces would interleave.
std::string LineText(int writer, int count) {
  std::string text =
      "\\Sheetora_Web\\W" + std::to_string(writer) + ", L" + std::to_string(count) + ": ";
  text.append(count % 10 == 0 ? 9000 : count % 97, static_cast<char>('a' + writer));
  return text;
}

TEST(ErrorLogConcurrency, EightWritersGiveWholeLinesInEachWritersOrder) {
  constexpr int kWriters = 8, kLines = 1000;
  testing::PageHarness harness;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&harness, w] {
      Server server;
      server.log_dir = harness.log_dir();
      const ObjectContextScope scope({nullptr, nullptr, &server});
      for (int i = 0; i < kLines; ++i) WriteErrorLog(LineText(w, i));
    });
  }
  for (auto& writer : writers) writer.join();

  const std::string log = harness.LogText();
  ASSERT_TRUE(log.ends_with("\r\n"));
  std::vector<int> next(kWriters, 0);
  int lines = 0;
  for (std::size_t begin = 0; begin < log.size(); ++lines) {
    const auto end = log.find("\r\n", begin);
    const std::string_view line(log.data() + begin, end - begin);
    begin = end + 2;
    // "YYYY-MM-DD HH:MM:SS", four blanks, then exactly one writer's text.
    ASSERT_GT(line.size(), 23u);
    ASSERT_EQ(line.substr(19, 4), "    ") << "line " << lines;
    const std::string_view text = line.substr(23);
    ASSERT_TRUE(text.starts_with("\\Sheetora_Web\\W")) << "line " << lines;
    const int w = text[15] - '0';
    ASSERT_TRUE(w >= 0 && w < kWriters) << "line " << lines;
    ASSERT_LT(next[w], kLines);
    ASSERT_EQ(text, LineText(w, next[w])) << "line " << lines;
    ++next[w];
  }
  EXPECT_EQ(lines, kWriters * kLines);
}

TEST(ErrorLogConcurrency, RepeatsFromManyWritersAreCountedExactly) {
  constexpr int kWriters = 8, kLines = 2000;
  testing::PageHarness harness;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&harness] {
      Server server;
      server.log_dir = harness.log_dir();
      const ObjectContextScope scope({nullptr, nullptr, &server});
      for (int i = 0; i < kLines; ++i) WriteErrorLog("\\Sheetora_Web\\F, AllTORVA: flood");
      WriteErrorLogRepeats();
    });
  }
  for (auto& writer : writers) writer.join();
  WriteErrorLogRepeats(/*all=*/true);
  // Each interval writes its first lines and one count; together they account for every line.
  EXPECT_EQ(harness.LoggedCount("\\Sheetora_Web\\F, AllTORVA: flood"), kWriters * kLines);
  EXPECT_LE(harness.LogLines().size(), 100u);
}

}  // namespace
}  // namespace sheetora
