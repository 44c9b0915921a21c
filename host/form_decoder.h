// Decoding of application/x-www-form-urlencoded bodies, the classic pages' form posts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sheetora {

/// One posted field, percent-decoded, still in the bytes the browser sent.
struct FormField {
  std::string name;
  std::string value;
  bool operator==(const FormField&) const = default;
};

/// "%" with two hex digits becomes that byte and "+" a blank; a "%" without two hex digits after
/// it stays as it is.
std::string PercentDecode(std::string_view text);

/// The fields of a form body in their order. The body splits at "&" and each piece at its first
/// "="; "+" is a blank and "%" with two hex digits one byte. A "%" without two hex digits after it
/// stays as it is, as browsers and common servers keep it, so it never swallows what follows. A
/// piece without "=" is a field with an empty value; an empty piece, or one with an empty name,
/// is skipped and the fields after it are kept. Names and values may have any length.
std::vector<FormField> DecodeFormBody(std::string_view body);

}  // namespace sheetora
