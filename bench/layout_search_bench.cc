// The layout searches on the candidates of the most-ups arrangement: the literal loops against
// the fast searches on the usual sheet, and the fast searches alone on large sheets.
#include <benchmark/benchmark.h>

#include <string>

#include "calc/layout_search.h"

namespace sheetora {
namespace {

struct Sheet {
  double L, W, PL, PW;
  bool literal_too;
};

// The most-ups arrangement's candidates: T1..T4 two-block and K1..K4 four-block searches on the
// sheet as given and turned, with the piece as given and turned.
LayoutSizes Orientation(const Sheet& s, int slot) {
  const bool sheet_turned = slot % 4 >= 2, piece_turned = slot % 2 == 1;
  return {sheet_turned ? s.W : s.L, sheet_turned ? s.L : s.W, piece_turned ? s.PW : s.PL,
          piece_turned ? s.PL : s.PW};
}

template <typename Four, typename Two>
void RunSlots(benchmark::State& state, const Sheet& sheet, int first, int last, Four four,
              Two two) {
  const LayoutScale scale = 400 / sheet.L;
  for (auto _ : state) {
    for (int slot = first; slot <= last; ++slot) {
      const LayoutSizes s = Orientation(sheet, slot);
      if (slot < 4) {
        benchmark::DoNotOptimize(two(s, scale));
      } else {
        benchmark::DoNotOptimize(four(s, scale));
      }
    }
  }
}

std::string Name(double v) { return std::to_string(static_cast<long long>(v)); }

void Register(const Sheet& sheet) {
  const std::string size =
      Name(sheet.L) + "x" + Name(sheet.W) + "/" + Name(sheet.PL) + "x" + Name(sheet.PW) + "/";
  static const char* const kSlots[] = {"T1", "T2", "T3", "T4", "K1", "K2", "K3", "K4"};
  for (int engine = 0; engine < (sheet.literal_too ? 2 : 1); ++engine) {
    const std::string prefix = (engine == 0 ? "Fast/" : "Literal/") + size;
    const auto run = [sheet, engine](benchmark::State& state, int first, int last) {
      if (engine == 0) {
        RunSlots(state, sheet, first, last, SearchFourBlocksFast, SearchTwoBlocksFast);
      } else {
        RunSlots(state, sheet, first, last, SearchFourBlocksLiteral, SearchTwoBlocksLiteral);
      }
    };
    benchmark::RegisterBenchmark((prefix + "all").c_str(), run, 0, 7)
        ->Unit(benchmark::kMicrosecond);
    for (int slot = 0; slot < 8; ++slot) {
      benchmark::RegisterBenchmark((prefix + kSlots[slot]).c_str(), run, slot, slot)
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

}  // namespace
}  // namespace sheetora

int main(int argc, char** argv) {
  using sheetora::Sheet;
  const Sheet sheets[] = {
      {1092, 787, 210, 140, true},
      {1092, 787, 140, 100, true},
      {1092, 787, 2, 1, true},
      {100000, 100000, 1000, 1, false},
      {100000, 100000, 3, 2, false},
      {100000, 100000, 997, 991, false},
      // Sheets at the end of the 32-bit range: tiny pieces, where the band sums round, and the
      // slowest piece found for the four-block search.
      {2000000000, 2000000000, 2, 1, false},
      {2000000000, 2000000000, 3, 2, false},
      {2000000000, 2000000000, 1000, 1, false},
      {2147483647, 2147483647, 5, 46343, false},
      // The slowest family found for the four-block search: a piece one unit long and about
      // sqrt(2 * PaperL) wide, where neither consecutive widths nor whole residue classes of
      // widths are few.
      {2147483647, 2147483647, 1, 65536, false},
      {2147483647, 2147483647, 1, 67158, false},
  };
  for (const Sheet& sheet : sheets) sheetora::Register(sheet);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
