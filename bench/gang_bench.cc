// The gang planner on a fixed set of about 100 print-shop gang jobs: with --report, each job's
// cost against the plain reference planner (bench/gang_reference.h) and against each job printed
// alone, the gap to the bound, single-layout run lengths against their lower bound and the time
// at the default limit, then a summary; without it, timings of a few jobs as benchmarks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/gang_reference.h"
#include "layout/gang/model.h"

namespace sheetora::bench {
namespace {

using layout::Micrometres;
using layout::gang::GangItem;
using layout::gang::GangRequest;

constexpr Micrometres mm = layout::kMicrometresPerMm;
constexpr Micrometres inch = 25'400;

struct Job {
  std::string name;
  GangRequest request;
};

/// Finished sizes a shop prints every day, in mm.
constexpr std::pair<int, int> kPieces[] = {
    {90, 55},   {85, 55},  {90, 50},   {210, 297}, {148, 210}, {105, 148}, {99, 210},
    {148, 105}, {100, 70}, {50, 50},   {297, 420}, {100, 250}, {50, 180},  {120, 120},
    {210, 99},  {74, 105}, {140, 140}, {200, 200}, {170, 120}, {60, 40},   {250, 180}};

/// Press sheets in mm with their gripper.
struct Press {
  int length, width, gripper;
};
constexpr Press kSheets[] = {{1020, 720, 12}, {720, 520, 10},  {1000, 700, 12}, {889, 635, 10},
                             {640, 450, 10},  {1092, 787, 15}, {740, 530, 10}};

std::int64_t Quantity(std::mt19937_64& random) {
  // Log-uniform from 250 to 50,000, in steps a customer orders.
  const double q = 250 * std::pow(200.0, std::uniform_real_distribution<>(0, 1)(random));
  const std::int64_t step = q < 1000 ? 50 : q < 10'000 ? 250 : 1000;
  return std::max<std::int64_t>(250, std::llround(q / static_cast<double>(step)) * step);
}

std::vector<Job> Jobs() {
  std::vector<Job> jobs;
  std::mt19937_64 random(20261207);
  const auto pick = [&](int n) {
    return static_cast<int>(std::uniform_int_distribution<>(0, n - 1)(random));
  };
  // 80 gangs of 2 to 12 jobs on offset press sheets.
  for (int j = 0; j < 80; ++j) {
    const Press& press = kSheets[pick(std::size(kSheets))];
    GangRequest r{
        .sheet = {press.length * mm, press.width * mm},
        .margins = {.gripper = press.gripper * mm, .tail = 5 * mm, .left = 5 * mm, .right = 5 * mm},
        .gutter = (pick(3) == 0 ? 2 : 0) * mm,
        .bleed = (pick(4) == 0 ? 0 : 3) * mm,
        .time_limit_ms = 5000};
    if (j % 4 == 1) r.makeready = 50 + 10 * pick(10);
    if (j % 4 == 2) r.setup_sheets = 20 + 5 * pick(10);
    if (j % 5 == 3) r.max_layouts = 1 + pick(3);
    if (j % 7 == 5) r.cut = layout::CutMode::kDie;
    const int items = 2 + pick(11);
    for (int i = 0; i < items; ++i) {
      const auto [l, w] = kPieces[pick(std::size(kPieces))];
      r.items.push_back({.id = "job" + std::to_string(i),
                         .piece = {l * mm, w * mm},
                         .quantity = Quantity(random),
                         .grain = pick(5) == 0 ? layout::Grain::kLength : layout::Grain::kAny});
    }
    jobs.push_back({"gang " + std::to_string(j) + " (" + std::to_string(items) + " jobs)", r});
  }
  // 20 single-plate gangs of 3 to 30 jobs on sheets from 13 x 9 to 40 x 27 in.
  const std::pair<int, int> plates[] = {{13, 9},  {19, 13}, {20, 14}, {25, 19}, {26, 20},
                                        {28, 20}, {29, 21}, {36, 24}, {38, 25}, {40, 27}};
  for (int j = 0; j < 20; ++j) {
    const auto [L, W] = plates[j % std::size(plates)];
    GangRequest r{
        .sheet = {L * inch, W * inch},
        .margins = {.gripper = inch / 2, .tail = inch / 4, .left = inch / 4, .right = inch / 4},
        .bleed = inch / 8,
        .max_layouts = 1};
    const int items = std::min(30, 3 + pick(std::max(2, L + W - 18)));
    // Cards, postcards, flyers and labels in half inches, as many as leave half the plate for
    // the copies beyond the first of each.
    const std::pair<int, int> sizes[] = {{7, 4},  {7, 4},  {8, 4}, {6, 6},  {4, 4},  {8, 5},
                                         {10, 7}, {11, 7}, {9, 6}, {12, 8}, {17, 11}};
    double area = 0;
    for (int i = 0; i < items; ++i) {
      const auto [l, w] = sizes[pick(L >= 25 ? 11 : 8)];
      area += (l + 0.5) * (w + 0.5) / 4;
      if (area > 0.5 * L * W) break;
      r.items.push_back({.id = "job" + std::to_string(i),
                         .piece = {l * inch / 2, w * inch / 2},
                         .quantity = Quantity(random)});
    }
    const auto count = r.items.size();
    jobs.push_back({"plate " + std::to_string(j) + " " + std::to_string(L) + "x" +
                        std::to_string(W) + "in (" + std::to_string(count) + " jobs)",
                    r});
  }
  // Drop jobs with a piece that fits nowhere (a poster on a small sheet).
  std::erase_if(jobs,
                [](const Job& job) { return layout::gang::Validate(job.request).has_value(); });
  return jobs;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
  return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

void Report(std::string_view only) {
  std::vector<double> versus_reference, gap_plain, gap_sheets, gap_free, run_excess, times;
  double sheets_alone = 0, sheets_gang = 0;
  int layouts_alone = 0, layouts_gang = 0, above_reference = 0, proven = 0, count = 0;
  struct Hard {
    double gap;
    std::string name;
  };
  std::vector<Hard> hardest;
  std::printf("%-34s %9s %9s %9s %7s %8s %9s\n", "job", "cost", "reference", "bound", "gap%", "ms",
              "alone");
  for (const Job& job : Jobs()) {
    if (!only.empty() && job.name.find(only) != 0) continue;
    const GangRequest& r = job.request;
    const auto start = std::chrono::steady_clock::now();
    const layout::gang::GangAnswer answer = layout::gang::Plan(r);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const ReferencePlan reference = PlanReference(r);
    const ReferencePlan alone = PlanAlone(r);
    if (answer.layouts.empty()) {
      std::printf("%-34s no plan\n", job.name.c_str());
      continue;
    }
    ++count;
    times.push_back(ms);
    const double gap = (answer.cost - answer.bound) / answer.bound;
    hardest.push_back({gap, job.name});
    proven += answer.proof == layout::Proof::kOptimal ? 1 : 0;
    if (reference.found) {
      versus_reference.push_back((answer.cost - reference.cost) / reference.cost);
      above_reference += answer.cost > reference.cost + 1e-9 ? 1 : 0;
    }
    if (r.makeready == 0 && r.setup_sheets == 0) {
      gap_plain.push_back(gap);
      if (job.name.starts_with("gang")) gap_sheets.push_back(gap);
      // Guillotine work on as many layouts as jobs: the bound there is the exact programme's.
      if (r.cut == layout::CutMode::kGuillotine && std::ssize(r.items) <= r.max_layouts) {
        gap_free.push_back(gap);
      }
    }
    if (r.max_layouts == 1) {
      // The plan's bound less the one layout's costs: the least run length it proves.
      const double least = answer.bound - static_cast<double>(r.makeready) - r.setup_sheets;
      run_excess.push_back((static_cast<double>(answer.sheets) - least) / least);
    }
    if (alone.layouts <= r.max_layouts) {
      sheets_alone += static_cast<double>(alone.sheets);
      sheets_gang += static_cast<double>(answer.sheets);
      layouts_alone += alone.layouts;
      layouts_gang += static_cast<int>(answer.layouts.size());
    }
    std::printf("%-34s %9.1f %9.1f %9.1f %7.2f %8.1f %9.1f\n", job.name.c_str(), answer.cost,
                reference.found ? reference.cost : -1.0, answer.bound, 100 * gap, ms, alone.cost);
  }
  std::sort(hardest.begin(), hardest.end(),
            [](const Hard& a, const Hard& b) { return a.gap > b.gap; });
  std::printf("\n%d jobs planned, %d proven optimal\n", count, proven);
  std::printf(
      "cost against the reference: mean %+.2f%%, best %+.2f%%, worst %+.2f%%, above it on %d\n",
      100 * Mean(versus_reference),
      100 * *std::min_element(versus_reference.begin(), versus_reference.end()),
      100 * *std::max_element(versus_reference.begin(), versus_reference.end()), above_reference);
  std::printf(
      "gap to the bound without makeready or setup: mean %.2f%%, median %.2f%% (%zu jobs)\n",
      100 * Mean(gap_plain), 100 * Median(gap_plain), gap_plain.size());
  std::printf(
      "  of them gangs on print sheets (the plates apart): mean %.2f%%, median %.2f%% (%zu "
      "jobs)\n",
      100 * Mean(gap_sheets), 100 * Median(gap_sheets), gap_sheets.size());
  std::printf(
      "  of them guillotine, as many layouts as jobs allowed: mean %.2f%%, median %.2f%% (%zu "
      "jobs)\n",
      100 * Mean(gap_free), 100 * Median(gap_free), gap_free.size());
  std::printf("single-layout run length above its lower bound: mean %.2f%% (%zu jobs)\n",
              100 * Mean(run_excess), run_excess.size());
  std::printf("time: median %.0f ms, worst %.0f ms\n", Median(times),
              *std::max_element(times.begin(), times.end()));
  std::printf(
      "against each job alone on its best layout (where the layouts allow): sheets %.0f "
      "instead of %.0f (%.1f%% fewer), layouts %d instead of %d\n",
      sheets_gang, sheets_alone, 100 * (1 - sheets_gang / sheets_alone), layouts_gang,
      layouts_alone);
  std::printf("hardest (largest gap): ");
  for (std::size_t i = 0; i < std::min<std::size_t>(3, hardest.size()); ++i) {
    std::printf("%s %.2f%%; ", hardest[i].name.c_str(), 100 * hardest[i].gap);
  }
  std::printf("\n");
}

void BM_Gang(benchmark::State& state, const GangRequest& request) {
  double cost = 0, bound = 0;
  for (auto _ : state) {
    const layout::gang::GangAnswer answer = layout::gang::Plan(request);
    cost = answer.cost;
    bound = answer.bound;
  }
  state.counters["cost"] = cost;
  state.counters["bound"] = bound;
}

}  // namespace
}  // namespace sheetora::bench

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    // --report, or --report=NAME for the jobs whose name starts with NAME.
    if (std::string_view(argv[i]).starts_with("--report")) {
      const std::string_view arg = argv[i];
      sheetora::bench::Report(arg.size() > 9 ? arg.substr(9) : "");
      return 0;
    }
  }
  static const std::vector<sheetora::bench::Job> jobs = sheetora::bench::Jobs();
  // A few jobs of each kind: small and large gangs, setups, few layouts, one plate.
  for (const std::size_t j : {0, 1, 2, 3, 7, 13, 85, 95}) {
    if (j < jobs.size()) {
      benchmark::RegisterBenchmark(jobs[j].name.c_str(), sheetora::bench::BM_Gang, jobs[j].request)
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
