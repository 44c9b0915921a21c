#include "host/form_decoder.h"

namespace sheetora {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
      continue;
    }
    const int high = c == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
    if (low >= 0) {
      out.push_back(static_cast<char>(high << 4 | low));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// Written by hand: the daemon's own form parser lets an unfinished escape, an empty name or a
// long name spoil the fields after it, and the rules here are a dozen lines.
std::vector<FormField> DecodeFormBody(std::string_view body) {
  std::vector<FormField> fields;
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    const std::string_view piece = body.substr(0, amp);
    body.remove_prefix(amp == std::string_view::npos ? body.size() : amp + 1);
    const std::size_t eq = piece.find('=');
    const std::string_view name = piece.substr(0, eq);
    if (name.empty()) continue;
    fields.push_back({PercentDecode(name), eq == std::string_view::npos
                                               ? std::string()
                                               : PercentDecode(piece.substr(eq + 1))});
  }
  return fields;
}

}  // namespace sheetora
