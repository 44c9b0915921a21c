// Form posts through the real host, on a loopback connection kept open across runs: the fields a
// page sees are exactly the posted ones, percent-decoded and read from GB18030, however long,
// repeated or oddly encoded they are.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/http_server.h"
#include "runtime/gb2312.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/utf8_check.h"
#include "tests/support/http_client.h"

namespace {

using sheetora::Request;

std::mutex recorded_mutex;
Request recorded;  // the request the host handed to the page, copied by the handler

struct Host {
  sheetora::HttpServer server{
      {.port = 0,
       .threads = 1,
       .handler = [](std::string_view, Request& request, sheetora::Server&) {
         const std::lock_guard lock(recorded_mutex);
         recorded = request;
         return sheetora::PageOutcome{};
       }}};
  std::unique_ptr<sheetora::testing::HttpConnection> connection;

  sheetora::testing::HttpReply Post(const std::string& body) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (!connection)
        connection = std::make_unique<sheetora::testing::HttpConnection>(server.port());
      if (connection->Send(sheetora::testing::PostRequest("/x", body))) {
        auto reply = connection->Receive();
        if (reply.status != 0) return reply;
      }
      connection.reset();  // the host closed an idle connection; open another
    }
    return {};
  }
};

Host* host = nullptr;

// One byte of a value as a browser may send it: letters and digits plain, a blank as "+" or
// "%20", anything else as %XX with either case of hex digits, bytes of 0x80 and above sometimes
// raw.
void AppendEncoded(std::string& body, unsigned char byte, FuzzedDataProvider& in) {
  static constexpr char kUpper[] = "0123456789ABCDEF";
  static constexpr char kLower[] = "0123456789abcdef";
  const bool plain =
      (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9');
  const int choice = in.ConsumeIntegralInRange(0, 3);
  if (plain || (byte >= 0x80 && choice == 0)) {
    body.push_back(static_cast<char>(byte));
  } else if (byte == ' ' && choice == 1) {
    body.push_back('+');
  } else {
    const char* hex = choice == 2 ? kLower : kUpper;
    body.push_back('%');
    body.push_back(hex[byte >> 4]);
    body.push_back(hex[byte & 0xF]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static Host the_host;
  host = &the_host;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  static constexpr const char* kNames[] = {"PaperL", "PL", "Submit", "a", "B9"};
  std::map<std::string, std::string> expected;  // name -> values joined by ", "
  std::string body;
  const int fields = in.ConsumeIntegralInRange(0, 8);
  for (int f = 0; f < fields; ++f) {
    const std::string name = kNames[in.ConsumeIntegralInRange(0, 4)];
    const std::string value = in.ConsumeRandomLengthString(4096);
    if (!body.empty()) body.push_back('&');
    body.append(name).push_back('=');
    for (const char c : value) AppendEncoded(body, static_cast<unsigned char>(c), in);
    const std::string text = sheetora::Gb18030ToUtf8(value);
    auto [at, added] = expected.emplace(name, text);
    if (!added) at->second.append(", ").append(text);
  }
  if (body.size() > 64 * 1024) return 0;  // refused as too large; another test covers that

  const auto reply = host->Post(body);
  FUZZ_CHECK(reply.status == 200);
  const std::lock_guard lock(recorded_mutex);
  for (const auto& [name, text] : expected) {
    const auto field = recorded.Form(name);
    FUZZ_CHECK(field.has_value());
    FUZZ_CHECK(IsWellFormedUtf8(*field));
    if (*field != text) {
      std::fprintf(stderr, "field %s: posted %zu bytes of text, got %zu\n", name.c_str(),
                   text.size(), field->size());
    }
    FUZZ_CHECK(*field == text);
  }
  for (const char* name : kNames) {
    FUZZ_CHECK(expected.contains(name) == recorded.Form(name).has_value());
  }
  return 0;
}
