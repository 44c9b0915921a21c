// Cookie subkeys: any Cookie header value reads as well-formed text, and what the host sends in
// Set-Cookie reads back as the same subkeys.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/cookies.h"
#include "runtime/gb2312.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/utf8_check.h"

using sheetora::Gb18030ToUtf8;
using sheetora::Request;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);

  // Whatever a browser or an attacker sends.
  Request sent;
  const std::string name = in.ConsumeRandomLengthString(12);
  const std::string value = in.ConsumeRandomLengthString(512);
  sheetora::AddRequestCookie(sent, name, value);
  for (const char* subkey : {"PaperL", "PaperW", "PL", "PW", "", "a"}) {
    FUZZ_CHECK(IsWellFormedUtf8(sent.CookieSubkey(Gb18030ToUtf8(name), subkey)));
  }

  // The host's own cookie comes back unchanged, for text that GB2312 can carry.
  sheetora::ResponseCookie cookie;
  std::vector<std::string> values;
  const int subkeys = in.ConsumeIntegralInRange(1, 5);
  for (int k = 0; k < subkeys; ++k) {
    std::string text = Gb18030ToUtf8(in.ConsumeRandomLengthString(64));
    FUZZ_CHECK(IsWellFormedUtf8(text));
    if (Gb18030ToUtf8(sheetora::Utf8ToGb2312(text)) != text) text = "x";
    cookie.subkeys.emplace_back("k" + std::to_string(k), text);
    values.push_back(text);
  }
  const std::string header = sheetora::FormatSetCookie("PinBan", cookie);
  FUZZ_CHECK(header.find_first_of("\r\n;,", 0) == header.find("; path=/"));
  const std::string pair = header.substr(0, header.find(';'));
  Request back;
  sheetora::AddRequestCookie(back, pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
  for (int k = 0; k < subkeys; ++k) {
    FUZZ_CHECK(back.CookieSubkey("PinBan", "k" + std::to_string(k)) == values[k]);
  }
  return 0;
}
