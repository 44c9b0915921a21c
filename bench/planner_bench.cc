// Run time and size of the planner's output: the page with its inline drawing, and the PDF, for
// grids of pieces around the point where the drawing switches from pieces to blocks; and whole
// /plan requests with the engine.
#include <benchmark/benchmark.h>

#include "pages/planner/plan_pdf.h"
#include "pages/planner/planner.h"

namespace sheetora::planner {
namespace {

constexpr layout::Micrometres kMm = layout::kMicrometresPerMm;

/// A plan of `columns` x 50 pieces of 10 x 8 mm with 1 mm bleed; the engine is not involved.
struct GridPlan {
  ParsedForm form;
  layout::Answer answer;
  explicit GridPlan(std::int64_t columns)
      : form(ParsePlannerQuery({{"sheet", "1300x600"}, {"piece", "10x8"}, {"bleed", "1"}})) {
    answer.ups = answer.bound = columns * 50;
    answer.blocks = {{.x = 1 * kMm, .y = 1 * kMm, .columns = columns, .rows = 50}};
  }
};

void Page(benchmark::State& state) {
  const GridPlan plan(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = PlannerPage(plan.form, &plan.answer).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
// 50 pieces; 5,000, the most drawn piece by piece; 5,050, drawn as one block.
BENCHMARK(Page)->Arg(1)->Arg(100)->Arg(101)->Unit(benchmark::kMillisecond);

void Pdf(benchmark::State& state) {
  const GridPlan plan(state.range(0));
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = PlanPdf(*plan.form.request, plan.answer, plan.form.locale()).size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(Pdf)->Arg(1)->Arg(100)->Arg(101)->Unit(benchmark::kMillisecond);

void PlanRequest(benchmark::State& state, const char* sheet, const char* piece) {
  const AppRequest request{
      .method = "GET",
      .path = "/plan",
      .query = {{"sheet", sheet}, {"piece", piece}, {"bleed", "3"}, {"gripper", "10"}}};
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = ServePlanPage(request).body.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK_CAPTURE(PlanRequest, 1092x787_210x140, "1092x787", "210x140")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlanRequest, 1092x787_2x1, "1092x787", "2x1")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sheetora::planner

BENCHMARK_MAIN();
