// Run time of whole imposition requests in-process, from the posted form to the finished page.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "host/page_runner.h"

namespace sheetora {
namespace {

void PostImposition(benchmark::State& state, const char* PaperL, const char* PaperW, const char* PL,
                    const char* PW, const char* PaiLie) {
  Server server;
  server.log_dir = std::filesystem::temp_directory_path();
  std::size_t bytes = 0;
  for (auto _ : state) {
    Request request;
    request.AddFormField("PaperL", PaperL);
    request.AddFormField("PaperW", PaperW);
    request.AddFormField("PL", PL);
    request.AddFormField("PW", PW);
    request.AddFormField("BigSmall", "1");
    request.AddFormField("PaiLie", PaiLie);
    request.AddFormField("Submit", "查看开版拼版图");
    const PageOutcome outcome = RunPage("Sheetora.Class61", request, server);
    bytes = outcome.response.body().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}

// Typical requests: a uniform grid and the most-ups mode on a common sheet.
BENCHMARK_CAPTURE(PostImposition, HP_1092x787_210x140, "1092", "787", "210", "140", "HP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PostImposition, MaxP_1092x787_210x140, "1092", "787", "210", "140", "MaxP")
    ->Unit(benchmark::kMicrosecond);
// A size that holds no number: the input-error alert ends the page three calls deep.
BENCHMARK_CAPTURE(PostImposition, alert_abc, "abc", "787", "210", "140", "MaxP")
    ->Unit(benchmark::kMicrosecond);
// Small pieces: the four-block search's worst cases that the page lets through. Their pages
// carry the fixed 100 x 100 grid; the uniform grid of the same pieces writes the same grid
// without any search, which separates the drawing from the search.
BENCHMARK_CAPTURE(PostImposition, HP_1092x787_2x1, "1092", "787", "2", "1", "HP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PostImposition, MaxP_1092x787_2x1, "1092", "787", "2", "1", "MaxP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PostImposition, MaxP_100000x100000_1000x1, "100000", "100000", "1000", "1",
                  "MaxP")
    ->Unit(benchmark::kMillisecond);
// Small pieces that do not tile the sheet.
BENCHMARK_CAPTURE(PostImposition, MaxP_1092x787_7x3, "1092", "787", "7", "3", "MaxP")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PostImposition, MaxP_100000x99999_997x3, "100000", "99999", "997", "3", "MaxP")
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace sheetora

BENCHMARK_MAIN();
