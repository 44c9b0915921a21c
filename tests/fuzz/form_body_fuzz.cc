// The form body decoder against a plain reference: the same fields, in the same order, for any
// bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/form_decoder.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using sheetora::FormField;

// One character at a time, in the plainest way: a field ends at '&', its name at the first '='.
std::vector<FormField> ReferenceDecode(std::string_view body) {
  const auto hex = [](char c) -> int {
    const std::string_view digits = "0123456789abcdef";
    const char lower = (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
    const auto at = digits.find(lower);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
  };
  std::vector<FormField> fields;
  FormField field;
  bool in_value = false;
  const auto flush = [&] {
    if (!field.name.empty()) fields.push_back(field);
    field = {};
    in_value = false;
  };
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    std::string& target = in_value ? field.value : field.name;
    if (c == '&') {
      flush();
    } else if (c == '=' && !in_value) {
      in_value = true;
    } else if (c == '+') {
      target += ' ';
    } else if (c == '%' && i + 2 < body.size() && hex(body[i + 1]) >= 0 && hex(body[i + 2]) >= 0) {
      target += static_cast<char>(hex(body[i + 1]) * 16 + hex(body[i + 2]));
      i += 2;
    } else {
      target += c;
    }
  }
  flush();
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  FUZZ_CHECK(sheetora::DecodeFormBody(body) == ReferenceDecode(body));
  return 0;
}
