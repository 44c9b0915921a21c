// The layout engine on a fixed set of print jobs and classic pallet-loading instances, in both
// cut modes: the time of each, with its ups, bound and proof as counters, and a summary of the
// runs (median and worst of each instance's fastest time, share proven, share complete: not cut
// short by the time limit) printed after them.
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
  const Size pitch =
      Spacing{.piece = {l * mm, w * mm}, .bleed = bleed * mm, .gutter = gutter * mm}.Pitch(false);
  return {std::to_string(L) + "x" + std::to_string(W) + "/" + std::to_string(l) + "x" +
              std::to_string(w) + "+" + std::to_string(bleed) + "+" + std::to_string(gutter),
          {.X = (L - 10) * mm + gutter * mm,
           .Y = (W - 15) * mm + gutter * mm,
           .a = pitch.length,
           .b = pitch.width}};
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
  // The hardest known: a sheet whose exact programme is the largest table taken, a long narrow
  // strip, and a 100 m sheet whose band search is long.
  set.push_back({"hard 997x991/13x11", {.X = 997, .Y = 991, .a = 13, .b = 11}});
  set.push_back({"strip 2667.3x30/3.1x4.7", {.X = 2'667'300, .Y = 30'000, .a = 3'100, .b = 4'700}});
  set.push_back({"huge 100mx100m/2.999x2.001",
                 {.X = 100'000 * mm, .Y = 100'000 * mm, .a = 2'999, .b = 2'001}});
  // Tiny pieces on large sheets.
  set.push_back({"huge 1092x787/2x1", {.X = 1092 * mm, .Y = 787 * mm, .a = 2 * mm, .b = 1 * mm}});
  set.push_back(
      {"huge 100mx100m/7x5", {.X = 100'000 * mm, .Y = 100'000 * mm, .a = 7 * mm, .b = 5 * mm}});
  return set;
}

constexpr auto kTimeLimit = std::chrono::milliseconds(2000);

PackResult Run(PackProblem problem, CutMode cut) {
  problem.cut = cut;
  problem.limits.deadline = Clock::now() + kTimeLimit;
  return Pack(problem);
}

// What the runs of one instance in one mode found, and the fastest of them.
struct Record {
  std::string name;
  CutMode cut = CutMode::kGuillotine;
  PackResult result;
  double best_ms = 0;
};

void BM_Pack(benchmark::State& state, const PackProblem& problem, Record* record) {
  for (auto _ : state) {
    const auto start = Clock::now();
    record->result = Run(problem, record->cut);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    record->best_ms = record->best_ms == 0 ? ms : std::min(record->best_ms, ms);
  }
  const PackResult& r = record->result;
  state.counters["ups"] = static_cast<double>(r.ups);
  state.counters["bound"] = static_cast<double>(r.bound);
  state.counters["proven"] = r.ups == r.bound ? 1 : 0;
  state.counters["best_guillotine"] = r.best_guillotine ? 1 : 0;
  state.counters["complete"] = r.complete ? 1 : 0;
}

// Median and worst time by mode over the instances that ran, the share proven, and where die
// cutting beats the guillotine optimum. Records come in pairs: guillotine, then die.
void PrintSummary(const std::vector<Record>& records) {
  for (const CutMode cut : {CutMode::kGuillotine, CutMode::kDie}) {
    const char* mode = cut == CutMode::kDie ? "die" : "guillotine";
    std::vector<double> ms;
    std::string worst;
    int proven = 0, best_guillotine = 0, above = 0, complete = 0;
    for (std::size_t n = 0; n < records.size(); ++n) {
      const Record& record = records[n];
      if (record.cut != cut || record.best_ms == 0) continue;
      const PackResult& r = record.result;
      if (ms.empty() || record.best_ms > *std::max_element(ms.begin(), ms.end())) {
        worst = record.name;
      }
      ms.push_back(record.best_ms);
      proven += r.ups == r.bound ? 1 : 0;
      best_guillotine += r.best_guillotine ? 1 : 0;
      complete += r.complete ? 1 : 0;
      const PackResult& guillotine = records[n - (cut == CutMode::kDie ? 1 : 0)].result;
      // (a die record whose guillotine twin did not run compares with an empty result)
      if (cut == CutMode::kDie && r.ups > guillotine.ups) {
        ++above;
        std::printf("  die beats guillotine: %s %lld > %lld\n", record.name.c_str(),
                    static_cast<long long>(r.ups), static_cast<long long>(guillotine.ups));
      }
      if (r.ups < r.bound) {
        std::printf("  unproven (%s): %s ups %lld bound %lld, %.1f ms\n", mode, record.name.c_str(),
                    static_cast<long long>(r.ups), static_cast<long long>(r.bound), record.best_ms);
      }
    }
    if (ms.empty()) continue;
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%s: %zu instances, median %.3f ms, worst %.3f ms (%s), proven optimal %d, "
        "best-guillotine %d, above the guillotine optimum %d, complete %d\n",
        mode, ms.size(), ms[ms.size() / 2], ms.back(), worst.c_str(), proven, best_guillotine,
        above, complete);
  }
}

}  // namespace
}  // namespace sheetora::layout

int main(int argc, char** argv) {
  using sheetora::layout::CutMode;
  const auto set = sheetora::layout::Instances();
  std::vector<sheetora::layout::Record> records;
  for (const auto& instance : set) {
    for (const CutMode cut : {CutMode::kGuillotine, CutMode::kDie}) {
      records.push_back({.name = instance.name, .cut = cut});
    }
  }
  for (std::size_t n = 0; n < records.size(); ++n) {
    const std::string mode = records[n].cut == CutMode::kDie ? "die/" : "guillotine/";
    benchmark::RegisterBenchmark((mode + records[n].name).c_str(), sheetora::layout::BM_Pack,
                                 set[n / 2].problem, &records[n])
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  sheetora::layout::PrintSummary(records);
  benchmark::Shutdown();
}
