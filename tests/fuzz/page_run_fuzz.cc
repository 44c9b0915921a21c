// A whole page run for every routed page, from fuzzed form fields and cookie subkeys, and what
// the host makes of its answer: no crash, no escape to the host, no echoed markup, and only the
// page's own log lines.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "host/cookies.h"
#include "host/page_runner.h"
#include "pages/page_table.h"
#include "runtime/error_log.h"
#include "runtime/gb2312.h"
#include "runtime/page.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using sheetora::Request;

// Every field and cookie subkey some page reads.
constexpr std::array<std::string_view, 18> kFieldNames = {
    "PaperL",     "PaperW",  "PL",          "PW",        "BigSmall", "PaiLie",
    "FanBan",     "Submit",  "PaperWeight", "PaperSpec", "CustomL",  "CustomW",
    "PPriceType", "M2Price", "PiecePrice",  "ReamPrice", "TonPrice", "PaperPNum"};

// Values the forms post, so that runs reach past the input checks.
constexpr std::array<std::string_view, 26> kValues = {
    "1092",       "787",
    "210",        "140",
    "100",        "1",
    "1.2",        "0.833333333333333",
    "MaxP",       "HP",
    "SP",         "HSP",
    "2",          "3",
    "0",          "889*1194",
    "TonPrice",   "M2Price",
    "PiecePrice", "ReamPrice",
    "6000",       "157",
    "2147483647", "-7",
    "1E+308",     "\xe6\x9f\xa5\xe7\x9c\x8b\xe5\xbc\x80\xe7\x89\x88"};

std::string Pick(FuzzedDataProvider& in, auto& table, std::size_t max_length) {
  if (in.ConsumeBool())
    return std::string(table[in.ConsumeIntegralInRange<std::size_t>(0, table.size() - 1)]);
  return in.ConsumeRandomLengthString(max_length);
}

std::filesystem::path log_dir;

std::string TakeLog() {
  const auto path = log_dir / sheetora::kErrorLogName;
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return text;
}

// Markup typed into a field comes back as text: no tag opens, and no quote typed inside a value
// ends it early (escaped, it shows as &quot; in HTML or \" in a script string).
void CheckNoEchoedMarkup(std::string_view body) {
  for (std::string_view marker : {"<xss", "Q\"xss", "Q'xss"}) {
    if (const auto at = body.find(marker); at != std::string_view::npos) {
      std::fprintf(stderr, "echoed: ...%.*s...\n", 100, body.data() + (at < 50 ? 0 : at - 50));
      FUZZ_CHECK(false);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "sheetora-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) abort();
  log_dir = pattern;
  std::atexit([] { std::filesystem::remove_all(log_dir); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const auto routes = sheetora::PageTable();
  const auto& route = routes[in.ConsumeIntegralInRange<std::size_t>(0, routes.size() - 1)];

  Request request;
  const int fields = in.ConsumeIntegralInRange(0, 12);
  for (int i = 0; i < fields; ++i) {
    std::string name = Pick(in, kFieldNames, 16);
    std::string value = Pick(in, kValues, 64);
    request.AddFormField(std::move(name), std::move(value));
  }
  const int subkeys = in.ConsumeIntegralInRange(0, 4);
  for (int i = 0; i < subkeys; ++i) {
    std::string subkey = Pick(in, kFieldNames, 8);
    std::string value = Pick(in, kValues, 64);
    request.AddCookieSubkey("PinBan", std::move(subkey), std::move(value));
  }

  sheetora::Server server;
  server.log_dir = log_dir;
  const auto outcome = sheetora::RunPage(route.class_name, request, server);
  const std::string log = TakeLog();

  const auto page = route.make();
  // Pages trap their own errors: nothing reaches the host.
  FUZZ_CHECK(outcome.status == 200);
  CheckNoEchoedMarkup(outcome.response.body());
  // What the host sends of it: the body in GB2312 and the cookies.
  FUZZ_CHECK(!sheetora::Utf8ToGb2312(outcome.response.body()).empty() ||
             outcome.response.body().empty());
  for (const auto& [name, cookie] : outcome.response.cookies()) {
    const std::string header = sheetora::FormatSetCookie(name, cookie);
    FUZZ_CHECK(header.find_first_of("\r\n") == std::string::npos);
  }

  // Every log line is one of the page's own: "<date> <time>    \Sheetora_Web\<page>, <method>: ".
  const std::string prefix = "    \\Sheetora_Web\\" + std::string(page->page_name()) + ", ";
  for (std::size_t begin = 0; begin < log.size();) {
    const auto end = log.find("\r\n", begin);
    FUZZ_CHECK(end != std::string::npos);
    const std::string_view line(log.data() + begin, end - begin);
    FUZZ_CHECK(line.find(prefix) == 19);  // after "YYYY-MM-DD HH:MM:SS"
    begin = end + 2;
  }
  return 0;
}
