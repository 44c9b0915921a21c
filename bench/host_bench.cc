// The host's own costs per request: converting page bodies to GB2312, decoding posted fields,
// and whole in-process requests of each kind.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/page_runner.h"
#include "runtime/gb2312.h"

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

// One whole request in-process, page run and transcoding as the server does them, for each kind of
// page the load test sends (the same forms).
void BM_Serve(benchmark::State& state, std::string_view path,
              const std::vector<std::pair<std::string, std::string>>& form) {
  Server server;
  server.log_dir = std::filesystem::temp_directory_path();
  for (auto _ : state) {
    Request request;
    for (const auto& [name, value] : form) request.AddFormField(name, value);
    std::string body = ServeSitePage(path, request, server).response.TakeBody();
    ConvertToGb2312InPlace(body);
    benchmark::DoNotOptimize(body);
  }
}
// The imposition form of the load test; a sheet length that is no number gets the alert.
std::vector<std::pair<std::string, std::string>> ImpositionForm(std::string PaperL) {
  return {{"PaperL", std::move(PaperL)},
          {"PaperW", "787"},
          {"PL", "210"},
          {"PW", "140"},
          {"BigSmall", "1"},
          {"PaiLie", "MaxP"},
          {"Submit", "查看开版拼版图"}};
}
BENCHMARK_CAPTURE(BM_Serve, Main, "/Main.asp", {});
BENCHMARK_CAPTURE(BM_Serve, PinBan_MaxP, "/PinBan.asp", ImpositionForm("1092"));
BENCHMARK_CAPTURE(BM_Serve, Paper, "/Paper.asp",
                  {{"PaperWeight", "157"},
                   {"PaperSpec", "889*1194"},
                   {"CustomL", ""},
                   {"CustomW", ""},
                   {"PPriceType", "TonPrice"},
                   {"TonPrice", "6000"}});
BENCHMARK_CAPTURE(BM_Serve, Spine, "/Spine.asp", {{"PaperWeight", "80"}, {"PaperPNum", "200"}});
BENCHMARK_CAPTURE(BM_Serve, alert, "/PinBan.asp", ImpositionForm("abc"));
BENCHMARK_CAPTURE(BM_Serve, missing, "/Missing.asp", {});

}  // namespace
}  // namespace sheetora

BENCHMARK_MAIN();
