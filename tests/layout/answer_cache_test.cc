// The answer cache shared by every request: threads asking for a few requests at once, more of
// them than it keeps, each get the answer that request plans to.
#include "layout/answer_cache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "layout/plan.h"

namespace sheetora::layout {
namespace {

TEST(AnswerCache, ThreadsGetEachRequestsOwnAnswer) {
  // More requests than the cache keeps, so that threads also evict each other's answers.
  std::vector<Request> requests;
  std::vector<Answer> expected;
  for (int n = 0; n < 40; ++n) {
    requests.push_back({.sheet = {(300 + 7 * n) * kMicrometresPerMm, 200 * kMicrometresPerMm},
                        .piece = {(20 + n % 5) * kMicrometresPerMm, 13 * kMicrometresPerMm},
                        .bleed = n % 3 * kMicrometresPerMm});
    expected.push_back(Plan(requests.back()));
  }
  std::vector<std::jthread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        const std::size_t n = (round * 7 + t * 13) % requests.size();
        const Answer answer = PlanOnce(requests[n]);
        EXPECT_EQ(answer.blocks, expected[n].blocks);
        EXPECT_EQ(answer.cuts.has_value(), expected[n].cuts.has_value());
      }
    });
  }
}

// A search stopped for a caller who left is not kept for the next one.
TEST(AnswerCache, KeepsNoAnswerCutShortByAStopRequest) {
  // The exact programme's table takes a few milliseconds here.
  const Request job{.sheet = {1'092'000, 787'000},
                    .piece = {85'000, 55'000},
                    .bleed = 3'000,
                    .gutter = 2'000,
                    .margins = {.gripper = 10'000, .tail = 5'000, .left = 5'000, .right = 5'000},
                    .time_limit_ms = kMaxTimeLimitMs};
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(PlanOnce(job, stop.get_token()).complete);
  EXPECT_TRUE(PlanOnce(job).complete);
}

}  // namespace
}  // namespace sheetora::layout
