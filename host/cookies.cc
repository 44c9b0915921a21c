#include "host/cookies.h"

#include <array>
#include <cstdio>

#include "host/form_decoder.h"
#include "runtime/gb2312.h"

namespace sheetora {
namespace {

/// Percent-decoded, then read as GB18030.
std::string DecodeCookiePart(std::string_view text) { return Gb18030ToUtf8(PercentDecode(text)); }

/// Appends the text's GB2312 bytes, percent-encoded except letters, digits and "-._~": nothing
/// in it can end the cookie or split its subkeys.
void AppendCookiePart(std::string& out, std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : Utf8ToGb2312(utf8)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                       byte == '~';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0xF]);
    }
  }
}

}  // namespace

void AddRequestCookie(Request& request, std::string_view name, std::string_view value) {
  const std::string cookie = DecodeCookiePart(name);
  while (!value.empty()) {
    const std::size_t amp = value.find('&');
    const std::string_view piece = value.substr(0, amp);
    value = amp == std::string_view::npos ? std::string_view() : value.substr(amp + 1);
    const std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos) continue;
    request.AddCookieSubkey(cookie, DecodeCookiePart(piece.substr(0, eq)),
                            DecodeCookiePart(piece.substr(eq + 1)));
  }
}

std::string FormatSetCookie(std::string_view name, const ResponseCookie& cookie) {
  std::string header;
  AppendCookiePart(header, name);
  header.push_back('=');
  bool first = true;
  for (const auto& [subkey, value] : cookie.subkeys) {
    if (!first) header.push_back('&');
    first = false;
    AppendCookiePart(header, subkey);
    header.push_back('=');
    AppendCookiePart(header, value);
  }
  if (cookie.expires) header.append("; expires=").append(HttpDate(*cookie.expires));
  header.append("; path=/");
  return header;
}

std::string HttpDate(std::chrono::sys_days date) {
  static constexpr std::array<const char*, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                           "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::chrono::year_month_day ymd(date);
  const std::chrono::weekday weekday(date);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %02u %s %04d 00:00:00 GMT", kWeekdays[weekday.c_encoding()],
                static_cast<unsigned>(ymd.day()), kMonths[static_cast<unsigned>(ymd.month()) - 1],
                static_cast<int>(ymd.year()));
  return text;
}

}  // namespace sheetora
