// The layout engine on a fixed set of print jobs and classic pallet-loading instances, in both
// cut modes: the time of each, with its ups, bound and proof as counters, and a summary of the
// whole set (median and worst time, share proven) printed after the runs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "layout/pack.h"

namespace sheetora::layout {
namespace {

constexpr Micrometres mm = kMicrometresPerMm;

struct Instance {
  std::string name;
  PackProblem problem;
};

// A press sheet with 10 mm gripper and 5 mm elsewhere, pieces with bleed and gutter, folded the
// way a request reduces to the plain problem.
Instance Job(Micrometres L, Micrometres W, Micrometres l, Micrometres w, Micrometres bleed,
             Micrometres gutter) {
  return {std::to_string(L) + "x" + std::to_string(W) + "/" + std::to_string(l) + "x" +
              std::to_string(w) + "+" + std::to_string(bleed) + "+" + std::to_string(gutter),
          {.X = (L - 10) * mm + gutter * mm,
           .Y = (W - 15) * mm + gutter * mm,
           .a = (l + 2 * bleed + gutter) * mm,
           .b = (w + 2 * bleed + gutter) * mm}};
}

std::vector<Instance> Instances() {
  std::vector<Instance> set;
  const std::pair<Micrometres, Micrometres> sheets[] = {{1092, 787}, {889, 1194}, {787, 546},
                                                        {720, 1020}, {640, 900},  {450, 320}};
  const std::pair<Micrometres, Micrometres> pieces[] = {
      {210, 297}, {148, 210}, {90, 54}, {100, 70}, {105, 148}, {99, 210}, {120, 120}, {85, 55}};
  for (const auto& [L, W] : sheets) {
    for (const auto& [l, w] : pieces) {
      set.push_back(Job(L, W, l, w, 3, 0));
      set.push_back(Job(L, W, l, w, 3, 2));
    }
  }
  // Classic pallet-loading instances, in whole units.
  const Micrometres classic[][4] = {{49, 28, 8, 3},        {43, 26, 7, 3},  {57, 34, 7, 4},
                                    {63, 44, 8, 5},        {61, 35, 10, 4}, {67, 37, 11, 4},
                                    {61, 38, 10, 4},       {67, 40, 11, 4}, {68, 44, 7, 5},
                                    {1020, 720, 210, 148}, {86, 82, 10, 7}, {100, 64, 11, 5}};
  for (const auto& c : classic) {
    set.push_back({"pallet " + std::to_string(c[0]) + "x" + std::to_string(c[1]) + "/" +
                       std::to_string(c[2]) + "x" + std::to_string(c[3]),
                   {.X = c[0], .Y = c[1], .a = c[2], .b = c[3]}});
  }
  // Tiny pieces on large sheets.
  set.push_back({"huge 1092x787/2x1", {.X = 1092 * mm, .Y = 787 * mm, .a = 2 * mm, .b = 1 * mm}});
  set.push_back(
      {"huge 100mx100m/7x5", {.X = 100'000 * mm, .Y = 100'000 * mm, .a = 7 * mm, .b = 5 * mm}});
  return set;
}

constexpr auto kTimeLimit = std::chrono::milliseconds(2000);

PackResult Run(PackProblem problem, CutMode cut) {
  problem.cut = cut;
  problem.deadline = Clock::now() + kTimeLimit;
  return Pack(problem);
}

void BM_Pack(benchmark::State& state, const PackProblem& problem, CutMode cut) {
  PackResult result;
  for (auto _ : state) result = Run(problem, cut);
  state.counters["ups"] = static_cast<double>(result.ups);
  state.counters["bound"] = static_cast<double>(result.bound);
  state.counters["proven"] = result.ups == result.bound ? 1 : 0;
  state.counters["best_guillotine"] = result.best_guillotine ? 1 : 0;
}

// One timed run of every instance in each mode.
void PrintSummary(const std::vector<Instance>& set) {
  std::vector<std::int64_t> guillotine_ups;
  for (const CutMode cut : {CutMode::kGuillotine, CutMode::kDie}) {
    std::vector<double> ms;
    int proven = 0, best_guillotine = 0, above = 0;
    for (std::size_t n = 0; n < set.size(); ++n) {
      const auto start = Clock::now();
      const PackResult r = Run(set[n].problem, cut);
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      proven += r.ups == r.bound ? 1 : 0;
      best_guillotine += r.best_guillotine ? 1 : 0;
      if (cut == CutMode::kGuillotine) guillotine_ups.push_back(r.ups);
      if (cut == CutMode::kDie && r.ups > guillotine_ups[n]) {
        ++above;
        std::printf("  die beats guillotine: %s %lld > %lld\n", set[n].name.c_str(),
                    static_cast<long long>(r.ups), static_cast<long long>(guillotine_ups[n]));
      }
      if (r.ups < r.bound) {
        std::printf("  unproven (%s): %s ups %lld bound %lld, %.1f ms\n",
                    cut == CutMode::kDie ? "die" : "guillotine", set[n].name.c_str(),
                    static_cast<long long>(r.ups), static_cast<long long>(r.bound), ms.back());
      }
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    const auto worst = std::max_element(ms.begin(), ms.end()) - ms.begin();
    std::printf(
        "%s: %zu instances, median %.3f ms, worst %.3f ms (%s), proven optimal %d, "
        "best-guillotine %d, above the guillotine optimum %d\n",
        cut == CutMode::kDie ? "die" : "guillotine", set.size(), sorted[sorted.size() / 2],
        sorted.back(), set[worst].name.c_str(), proven, best_guillotine, above);
  }
}

}  // namespace
}  // namespace sheetora::layout

int main(int argc, char** argv) {
  using sheetora::layout::CutMode;
  const auto set = sheetora::layout::Instances();
  for (const auto& instance : set) {
    for (const CutMode cut : {CutMode::kGuillotine, CutMode::kDie}) {
      benchmark::RegisterBenchmark(
          ((cut == CutMode::kDie ? "die/" : "guillotine/") + instance.name).c_str(),
          sheetora::layout::BM_Pack, instance.problem, cut)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  sheetora::layout::PrintSummary(set);
  benchmark::Shutdown();
}
