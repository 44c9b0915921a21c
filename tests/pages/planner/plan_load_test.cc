// One request, one layout on a loaded machine: the searches end at their step budgets, not at the
// clock, so ten plans of one request made while other threads keep every core busy agree; and
// /plan, /plan.svg, /plan.pdf and the API show one layout for one query. Nothing here judges time.
#include <gtest/gtest.h>

#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "layout/answer_cache.h"
#include "layout/api.h"
#include "layout/json.h"
#include "layout/plan.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/planner.h"
#include "tests/pages/planner/plan_fixtures.h"

namespace sheetora::planner {
namespace {

// A die-cut job whose searches run to the end of their budgets without a proof (some 145 of a
// bound of 146): exactly what a search stopped by the clock would answer differently.
constexpr std::string_view kQuery =
    "sheet=1092x787&piece=85x55&bleed=3&gutter=2&gripper=10&tail=5&left=5&right=5&cut=die";

/// Threads planning other hard requests until stopped, one fewer than the cores (at least one),
/// so that the plans compared share the machine yet the test stays short.
std::vector<std::jthread> Load() {
  std::vector<std::jthread> threads;
  for (unsigned n = 0; n < std::max(2u, std::thread::hardware_concurrency()) - 1; ++n) {
    threads.emplace_back([n](const std::stop_token& stop) {
      layout::Request other{.sheet = {997'000 + 1000 * n, 991'000},
                            .piece = {13'000, 11'000},
                            .cut = layout::CutMode::kDie,
                            .time_limit_ms = 10'000};
      while (!stop.stop_requested()) layout::Plan(other, stop);
    });
  }
  return threads;
}

/// The PDF without what the clock decides: its creation date, and the file's ID, which qpdf
/// seeds with the current second when it adds the document's language.
std::string Undated(std::string pdf) {
  for (const auto& [from, to] : {std::pair{"/CreationDate (", ')'}, std::pair{"/ID [", ']'}}) {
    const std::size_t at = pdf.find(from);
    if (at != std::string::npos) pdf.erase(at, pdf.find(to, at) + 1 - at);
  }
  return pdf;
}

TEST(OneLayout, TenRunsUnderLoadAndEveryRoute) {
  const ParsedForm form = ParsePlannerQuery(Q(kQuery));
  ASSERT_TRUE(form.request.has_value());
  layout::Request request = *form.request;
  request.time_limit_ms = layout::kMaxTimeLimitMs;  // the budgets end it long before
  std::vector<layout::Answer> runs;
  {
    const std::vector<std::jthread> load = Load();
    for (int run = 0; run < 10; ++run) runs.push_back(layout::Plan(request));
  }
  for (const layout::Answer& answer : runs) {
    EXPECT_TRUE(answer.complete);
    EXPECT_EQ(answer.blocks, runs.front().blocks);
    EXPECT_EQ(answer.bound, runs.front().bound);
  }
  EXPECT_LT(runs.front().ups, runs.front().bound);  // no proof ended the searches early

  // The routes plan the form's request (its default time limit) once, through the cache.
  const layout::Answer once = layout::PlanOnce(*form.request);
  if (once.complete) {
    EXPECT_EQ(once.blocks, runs.front().blocks);
  }
  const AppRequest get{.method = "GET", .query = Q(kQuery)};
  EXPECT_EQ(ServePlanSvg(get).body, PlanSvg(*form.request, once, form.locale(), true));
  EXPECT_NE(ServePlanPage(get).body.find(PlanSvg(*form.request, once, form.locale(), false)),
            std::string::npos);
  EXPECT_EQ(Undated(ServePlanPdf(get).body), Undated(PlanPdf(*form.request, once, form.locale())));
  const layout::ApiAnswer api = layout::HandleLayoutRequest(
      R"({"sheet": {"length": 1092, "width": 787}, "piece": {"length": 85, "width": 55},
          "bleed": 3, "gutter": 2, "margins": {"gripper": 10, "tail": 5, "left": 5, "right": 5},
          "cut": "die"})");
  EXPECT_EQ(api.body, layout::AnswerJson(once));
}

}  // namespace
}  // namespace sheetora::planner
