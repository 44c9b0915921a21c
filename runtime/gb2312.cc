#include "runtime/gb2312.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace sheetora {
namespace {

/// One conversion descriptor of the system's converter. A descriptor is not thread-safe, so each
/// conversion opens its own; opening one costs well under a microsecond.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != kNone) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  /// Converts from the front of `in` into [out, out + room), advancing all three. Returns 0 when
  /// `in` is used up, E2BIG when the room is, and otherwise an error with `in` starting at the
  /// byte that starts no valid sequence (EILSEQ whenever the converter could not be opened).
  int Convert(std::string_view& in, char*& out, std::size_t& room) {
    if (cd_ == kNone) return EILSEQ;
    char* source = const_cast<char*>(in.data());  // iconv only reads through this pointer
    std::size_t left = in.size();
    const std::size_t result = iconv(cd_, &source, &left, &out, &room);
    const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
    in.remove_prefix(in.size() - left);
    return error;
  }

 private:
  // iconv_open reports failure as this cast of -1.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t cd_;
};

/// The character of one code, or nothing when the converter has none for it.
std::optional<char32_t> DecodeOne(Converter& converter, std::string_view code) {
  unsigned char utf32[4];
  char* out = reinterpret_cast<char*>(utf32);
  std::size_t room = sizeof utf32;
  if (converter.Convert(code, out, room) != 0 || room != 0) return std::nullopt;
  return utf32[0] | utf32[1] << 8 | utf32[2] << 16 | utf32[3] << 24;
}

/// The GB2312 code (lead byte high) of each BMP code point, 0 where GB2312 has none; and back, the
/// character of each code, indexed by DecodingIndex. Built once, on first use, from the system's
/// converters. Browsers read a page declared GB2312 with the GBK table, whose characters for two
/// codes differ from the system's GB2312 table (A1A4 is U+00B7, A1AA is U+2014), so each code of
/// GB2312 maps from and to the character that browsers show for it, as GB18030 (a superset of
/// GBK) gives it. Without system converters the tables stay empty, and every non-ASCII character
/// is sent as a character reference instead.
struct Gb2312Tables {
  std::array<std::uint16_t, 0x10000> encoding{};
  std::array<char16_t, 94 * 94> decoding{};
};
using Gb2312Table = std::array<std::uint16_t, 0x10000>;

std::size_t DecodingIndex(unsigned lead, unsigned trail) {
  return (lead - 0xA1) * 94 + (trail - 0xA1);
}

const Gb2312Tables& Tables() {
  static const std::unique_ptr<const Gb2312Tables> tables = [] {
    auto built = std::make_unique<Gb2312Tables>();
    Converter gb2312("UTF-32LE", "GB2312"), gb18030("UTF-32LE", "GB18030");
    for (unsigned lead = 0xA1; lead <= 0xF7; ++lead) {
      for (unsigned trail = 0xA1; trail <= 0xFE; ++trail) {
        const char code[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        if (!DecodeOne(gb2312, {code, 2})) continue;
        const auto shown = DecodeOne(gb18030, {code, 2});
        if (!shown || *shown >= built->encoding.size()) continue;
        built->encoding[*shown] = lead << 8 | trail;
        built->decoding[DecodingIndex(lead, trail)] = static_cast<char16_t>(*shown);
      }
    }
    return built;
  }();
  return *tables;
}

const Gb2312Table& EncodingTable() { return Tables().encoding; }

/// The end of the run of ASCII bytes that starts at `from`. Result pages are mostly ASCII table
/// cells, so the run is scanned eight bytes at a time.
std::size_t AsciiRunEnd(std::string_view text, std::size_t from) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080;
  std::size_t i = from;
  for (std::uint64_t word; i + 8 <= text.size(); i += 8) {
    std::memcpy(&word, text.data() + i, 8);
    if (word & kHighBits) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

struct DecodedCharacter {
  char32_t code_point;
  std::size_t length;  // bytes used
};

/// The well-formed UTF-8 sequence at the front of `text` (which starts with a non-ASCII byte), or
/// U+FFFD for its first byte alone: overlong forms, surrogates, code points past U+10FFFF and
/// truncated sequences are not well formed.
DecodedCharacter DecodeUtf8(std::string_view text) {
  constexpr DecodedCharacter kInvalid{0xFFFD, 1};
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  char32_t code_point;
  unsigned char second_min = 0x80, second_max = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;
    if (lead == 0xED) second_max = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;
    if (lead == 0xF4) second_max = 0x8F;
  } else {
    return kInvalid;
  }
  if (text.size() < length) return kInvalid;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(k);
    if (next < (k == 1 ? second_min : 0x80) || next > (k == 1 ? second_max : 0xBF)) {
      return kInvalid;
    }
    code_point = code_point << 6 | (next & 0x3F);
  }
  return {code_point, length};
}

/// Writes "&#N;" at `out` and returns its end.
char* WriteCharacterReference(char* out, char32_t code_point) {
  *out++ = '&';
  *out++ = '#';
  out = std::to_chars(out, out + 7, std::uint32_t{code_point}).ptr;
  *out++ = ';';
  return out;
}

/// Converts utf8 from `in` on, writing at `out`, until the text ends or a character needs a
/// character reference; returns where it stopped in both. Every character written takes no more
/// bytes than it did in UTF-8, so `out` may run in the same buffer up to `in`.
struct Stop {
  std::size_t in;
  char* out;
};
Stop ConvertUntilReference(std::string_view utf8, std::size_t i, char* out,
                           const Gb2312Table& table) {
  while (i < utf8.size()) {
    const std::size_t ascii_end = AsciiRunEnd(utf8, i);
    if (out != utf8.data() + i) std::memmove(out, utf8.data() + i, ascii_end - i);
    out += ascii_end - i;
    i = ascii_end;
    if (i == utf8.size()) break;
    // Chinese text: runs of three-byte sequences whose lead byte allows any continuation bytes.
    while (i + 3 <= utf8.size()) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const auto second = static_cast<unsigned char>(utf8[i + 1]);
      const auto third = static_cast<unsigned char>(utf8[i + 2]);
      if (lead < 0xE1 || lead > 0xEF || lead == 0xED || (second & 0xC0) != 0x80 ||
          (third & 0xC0) != 0x80) {
        break;
      }
      const std::uint16_t code = table[(lead & 0x0F) << 12 | (second & 0x3F) << 6 | (third & 0x3F)];
      if (code == 0) break;
      *out++ = static_cast<char>(code >> 8);
      *out++ = static_cast<char>(code & 0xFF);
      i += 3;
    }
    if (i == utf8.size() || static_cast<unsigned char>(utf8[i]) < 0x80) continue;
    const auto [code_point, length] = DecodeUtf8(utf8.substr(i));
    const std::uint16_t code = code_point < table.size() ? table[code_point] : 0;
    if (code == 0) break;
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
    i += length;
  }
  return {i, out};
}

/// The UTF-8 text of bytes that hold only ASCII and two-byte GB2312 codes, as the site's forms
/// post, without opening a converter; nothing when they hold anything else.
std::optional<std::string> DecodeAsciiAndGb2312(std::string_view bytes) {
  const auto& decoding = Tables().decoding;
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t ascii_end = AsciiRunEnd(bytes, i);
    out.append(bytes.substr(i, ascii_end - i));
    i = ascii_end;
    if (i == bytes.size()) break;
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    if (lead < 0xA1 || lead > 0xF7 || trail < 0xA1 || trail > 0xFE) return std::nullopt;
    const char16_t shown = decoding[DecodingIndex(lead, trail)];
    if (shown == 0) return std::nullopt;
    // A BMP character in UTF-8; GB2312 holds none below U+0080.
    if (shown < 0x800) {
      out.push_back(static_cast<char>(0xC0 | shown >> 6));
    } else {
      out.push_back(static_cast<char>(0xE0 | shown >> 12));
      out.push_back(static_cast<char>(0x80 | (shown >> 6 & 0x3F)));
    }
    out.push_back(static_cast<char>(0x80 | (shown & 0x3F)));
    i += 2;
  }
  return out;
}

}  // namespace

std::string Utf8ToGb2312(std::string_view utf8) {
  const Gb2312Table& table = EncodingTable();
  // The output keeps room for the rest of the input as long as no reference is written; a
  // reference grows it when needed.
  std::string out(utf8.size(), '\0');
  Stop stop{0, out.data()};
  while ((stop = ConvertUntilReference(utf8, stop.in, stop.out, table)).in < utf8.size()) {
    const auto [code_point, length] = DecodeUtf8(utf8.substr(stop.in));
    stop.in += length;
    constexpr std::size_t kLongestReference = 10;  // "&#1114111;"
    const std::size_t used = stop.out - out.data();
    const std::size_t needed = used + kLongestReference + (utf8.size() - stop.in);
    if (needed > out.size()) {
      out.resize(std::max(needed, 2 * out.size()));
      stop.out = out.data() + used;
    }
    stop.out = WriteCharacterReference(stop.out, code_point);
  }
  out.resize(stop.out - out.data());
  return out;
}

void ConvertToGb2312InPlace(std::string& text) {
  // In place while no character needs a reference, as on every page of the site; from the first
  // one that does, the rest is converted apart.
  const Stop stop = ConvertUntilReference(text, 0, text.data(), EncodingTable());
  const std::string rest =
      stop.in < text.size() ? Utf8ToGb2312(std::string_view(text).substr(stop.in)) : std::string();
  text.resize(stop.out - text.data());
  text.append(rest);
}

std::string EscapeOutsideGb2312ForScript(std::string_view utf8) {
  const Gb2312Table& table = EncodingTable();
  std::string out;
  out.reserve(utf8.size());
  const auto escape = [&out](char32_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t ascii_end = AsciiRunEnd(utf8, i);
    out.append(utf8.substr(i, ascii_end - i));
    i = ascii_end;
    if (i == utf8.size()) break;
    const auto [code_point, length] = DecodeUtf8(utf8.substr(i));
    if (code_point < table.size() && table[code_point] != 0) {
      out.append(utf8.substr(i, length));
    } else if (code_point > 0xFFFF) {
      escape(0xD800 + ((code_point - 0x10000) >> 10));
      escape(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      escape(code_point);
    }
    i += length;
  }
  return out;
}

std::string Gb18030ToUtf8(std::string_view bytes) {
  if (AsciiRunEnd(bytes, 0) == bytes.size()) return std::string(bytes);
  if (auto decoded = DecodeAsciiAndGb2312(bytes)) return std::move(*decoded);
  Converter converter("UTF-8", "GB18030");
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  char buffer[1024];
  std::string_view rest = bytes;
  while (!rest.empty()) {
    char* cursor = buffer;
    std::size_t room = sizeof buffer;
    const int error = converter.Convert(rest, cursor, room);
    out.append(buffer, cursor);
    if (error == 0) break;
    if (error == E2BIG) continue;
    // The front byte starts no valid sequence (or, at the end, an unfinished one).
    const unsigned char front = static_cast<unsigned char>(rest.front());
    if (front < 0x80) {
      out.push_back(static_cast<char>(front));
    } else {
      out.append(front == 0x80 ? "\u20AC" : "\uFFFD");  // GBK's one-byte euro sign
    }
    rest.remove_prefix(1);
  }
  return out;
}

}  // namespace sheetora
