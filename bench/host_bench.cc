// The host's own costs per request: converting page bodies to GB2312, decoding posted fields,
// and one whole in-process page run.
#include <benchmark/benchmark.h>

#include <string>

#include "host/gb2312.h"
#include "host/page_runner.h"

namespace sheetora {
namespace {

std::string MainPageBody() {
  Request request;
  Server server;
  return ServeSitePage("/Main.asp", request, server).response.body();
}

// A result page is mostly cells of an ASCII table.
std::string TableCells(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes)
    text += "<td width=\"24\" height=\"31\" bgcolor=\"#FFFFFF\"></td>\r\n";
  return text;
}

std::string ChineseText(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "纸张尺寸：开版拼版工具，请输入正确的数字。\r\n";
  return text;
}

void BM_Utf8ToGb2312(benchmark::State& state, const std::string& text) {
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToGb2312(text));
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK_CAPTURE(BM_Utf8ToGb2312, main_page, MainPageBody());
BENCHMARK_CAPTURE(BM_Utf8ToGb2312, table_cells_1MB, TableCells(1 << 20));
BENCHMARK_CAPTURE(BM_Utf8ToGb2312, chinese_64KB, ChineseText(1 << 16));

void BM_Gb18030ToUtf8(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) benchmark::DoNotOptimize(Gb18030ToUtf8(bytes));
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK_CAPTURE(BM_Gb18030ToUtf8, ascii_field, std::string("1092"));
BENCHMARK_CAPTURE(BM_Gb18030ToUtf8, chinese_field, Utf8ToGb2312("大度对开"));

void BM_ServeMainPage(benchmark::State& state) {
  for (auto _ : state) {
    Request request;
    Server server;
    benchmark::DoNotOptimize(
        Utf8ToGb2312(ServeSitePage("/Main.asp", request, server).response.body()));
  }
}
BENCHMARK(BM_ServeMainPage);

}  // namespace
}  // namespace sheetora

BENCHMARK_MAIN();
