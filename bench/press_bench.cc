// The files for the press: the imposed sheet of a 5 MB vector artwork on a 100-up sheet (time,
// and the output's size against the input's), and the knife cycles of the cut list before and
// after stacking identical strips, on the print jobs of layout_engine_bench.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <random>
#include <string>
#include <variant>

#include "layout/lifts.h"
#include "layout/plan.h"
#include "press/impose.h"

namespace sheetora {
namespace {

constexpr layout::Micrometres mm = layout::kMicrometresPerMm;

/// One page of `bytes` of vector strokes (uncompressed, so the file is as large as its drawing),
/// trimmed to 50 x 30 mm with 2 mm bleed.
std::string VectorArtwork(std::size_t bytes) {
  QPDF pdf;
  pdf.emptyPDF();
  std::mt19937 random(5);
  std::uniform_real_distribution<double> x(0, 153), y(0, 96.4);
  std::string content = "0.2 w\n";
  char line[96];
  while (content.size() < bytes) {
    std::snprintf(line, sizeof line, "%.3f %.3f %.3f rg %.2f %.2f m %.2f %.2f l %.2f %.2f l f\n",
                  x(random) / 153, y(random) / 96.4, 0.5, x(random), y(random), x(random),
                  y(random), x(random), y(random));
    content += line;
  }
  QPDFObjectHandle page = QPDFObjectHandle::parse(
      "<< /Type /Page /MediaBox [0 0 153.0709 96.378] /TrimBox [5.6693 5.6693 147.4016 90.7087] "
      "/Resources << >> >>");
  page.replaceKey("/Contents", pdf.newStream(content));
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.setCompressStreams(false);
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

void BM_Impose100Up(benchmark::State& state) {
  const std::string artwork = VectorArtwork(5 * 1024 * 1024);
  const layout::Request request{.sheet = {545 * mm, 365 * mm},
                                .piece = {50 * mm, 30 * mm},
                                .bleed = 2 * mm,
                                .margins = {.gripper = 10 * mm, .tail = 10 * mm}};
  const layout::Answer answer = layout::Plan(request);
  std::size_t output = 0;
  for (auto _ : state) {
    auto pdf = press::ImposeSheet(request, answer, artwork, {.job = "bench", .date = "2026-12-07"});
    output = std::get<std::string>(pdf).size();
    benchmark::DoNotOptimize(output);
  }
  state.counters["ups"] = static_cast<double>(answer.ups);
  state.counters["input_MB"] = static_cast<double>(artwork.size()) / 1e6;
  state.counters["output_MB"] = static_cast<double>(output) / 1e6;
  state.counters["output/input"] =
      static_cast<double>(output) / static_cast<double>(artwork.size());
}
BENCHMARK(BM_Impose100Up)->Unit(benchmark::kMillisecond);

// The print jobs of layout_engine_bench as whole requests: 10 mm gripper, 5 mm elsewhere,
// 3 mm bleed, gutter 0 or 2 mm.
std::vector<layout::Request> PrintJobs() {
  const std::pair<int, int> sheets[] = {{1092, 787}, {889, 1194}, {787, 546},
                                        {720, 1020}, {640, 900},  {450, 320}};
  const std::pair<int, int> pieces[] = {{210, 297}, {148, 210}, {90, 54},   {100, 70},
                                        {105, 148}, {99, 210},  {120, 120}, {85, 55}};
  std::vector<layout::Request> jobs;
  for (const auto& [L, W] : sheets) {
    for (const auto& [l, w] : pieces) {
      for (const int gutter : {0, 2}) {
        jobs.push_back(
            {.sheet = {L * mm, W * mm},
             .piece = {l * mm, w * mm},
             .bleed = 3 * mm,
             .gutter = gutter * mm,
             .margins = {.gripper = 10 * mm, .tail = 5 * mm, .left = 5 * mm, .right = 5 * mm},
             .time_limit_ms = 500});
      }
    }
  }
  return jobs;
}

// The lifts of each job's cut program: the time to find them, and the cycles alone and stacked.
void BM_Lifts(benchmark::State& state) {
  static const std::vector<std::pair<layout::Request, layout::Answer>> planned = [] {
    std::vector<std::pair<layout::Request, layout::Answer>> all;
    std::int64_t alone = 0, stacked = 0;
    for (const layout::Request& request : PrintJobs()) {
      layout::Answer answer = layout::Plan(request);
      if (!answer.cuts) continue;
      for (const layout::CutNode& node : *answer.cuts)
        alone += static_cast<std::int64_t>(node.at.size());
      stacked += layout::Cycles(*answer.sequence);
      all.emplace_back(request, std::move(answer));
    }
    std::printf(
        "print jobs: %zu with a cut program; knife cycles %lld alone, %lld stacked (up to 4)\n",
        all.size(), static_cast<long long>(alone), static_cast<long long>(stacked));
    return all;
  }();
  const auto& [request, answer] =
      planned[static_cast<std::size_t>(state.range(0)) % planned.size()];
  std::int64_t cycles = 0;
  for (auto _ : state) {
    cycles = layout::Cycles(layout::Lifts(*answer.cuts, request.max_stack));
    benchmark::DoNotOptimize(cycles);
  }
  std::int64_t alone = 0;
  for (const layout::CutNode& node : *answer.cuts)
    alone += static_cast<std::int64_t>(node.at.size());
  state.SetLabel(
      std::to_string(request.sheet.length / mm) + "x" + std::to_string(request.sheet.width / mm) +
      "/" + std::to_string(request.piece.length / mm) + "x" +
      std::to_string(request.piece.width / mm) + "+" + std::to_string(request.gutter / mm));
  state.counters["ups"] = static_cast<double>(answer.ups);
  state.counters["cycles_alone"] = static_cast<double>(alone);
  state.counters["cycles_stacked"] = static_cast<double>(cycles);
}
BENCHMARK(BM_Lifts)->DenseRange(0, 95, 1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sheetora

BENCHMARK_MAIN();
