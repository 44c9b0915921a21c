// The layout engine's work around the search: reading a request, the cut program and the
// answer's JSON, for a usual job and for one near the largest cut program.
#include <benchmark/benchmark.h>

#include <string>
#include <variant>

#include "layout/cut_program.h"
#include "layout/json.h"
#include "layout/plan.h"

namespace sheetora::layout {
namespace {

// A usual job, 210 x 140 with bleed and margins; some 3,600 small pieces with bleed and gutter.
const std::string kUsual =
    R"({"sheet": {"length": 1092, "width": 787}, "piece": {"length": 210, "width": 140},
        "bleed": 3, "margins": {"gripper": 10, "tail": 5, "left": 5, "right": 5},
        "job": {"quantity": 5000, "grammage": 157, "price": {"per_tonne": 6000}}})";
const std::string kLarge =
    R"({"sheet": {"length": 1000, "width": 700}, "piece": {"length": 10, "width": 14},
        "bleed": 0.5, "gutter": 1})";

Request Read(const std::string& text) { return std::get<Request>(ParseRequest(text)); }

void BM_ParseRequest(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ParseRequest(kUsual));
}
BENCHMARK(BM_ParseRequest);

// A body of the largest size taken, all short distinct keys: the reader must stay linear.
void BM_ParseManyKeys(benchmark::State& state) {
  std::string text = "{";
  for (int i = 0; text.size() < 65'000; ++i) text += "\"k" + std::to_string(i) + "\":0,";
  text.back() = '}';
  for (auto _ : state) benchmark::DoNotOptimize(ParseRequest(text));
}
BENCHMARK(BM_ParseManyKeys)->Unit(benchmark::kMillisecond);

void BM_CutProgram(benchmark::State& state, const std::string& text) {
  const Request request = Read(text);
  const Answer answer = Plan(request);
  for (auto _ : state) benchmark::DoNotOptimize(CutProgram(request, answer.blocks));
  state.counters["pieces"] = static_cast<double>(answer.ups);
}
BENCHMARK_CAPTURE(BM_CutProgram, usual, kUsual);
BENCHMARK_CAPTURE(BM_CutProgram, large, kLarge);

void BM_AnswerJson(benchmark::State& state, const std::string& text) {
  const Answer answer = Plan(Read(text));
  for (auto _ : state) benchmark::DoNotOptimize(AnswerJson(answer));
}
BENCHMARK_CAPTURE(BM_AnswerJson, usual, kUsual);
BENCHMARK_CAPTURE(BM_AnswerJson, large, kLarge);

}  // namespace
}  // namespace sheetora::layout

BENCHMARK_MAIN();
