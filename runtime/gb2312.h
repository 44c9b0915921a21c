// Character set conversions at the edge: pages work in UTF-8, the site speaks GB2312.
#pragma once

#include <string>
#include <string_view>

namespace sheetora {

/// The GB2312 (EUC-CN) bytes of UTF-8 text. A character that GB2312 lacks becomes the numeric
/// character reference "&#N;" (N in decimal), which the browser shows as that character; each
/// byte that is not part of a well-formed UTF-8 sequence becomes "&#65533;". Never fails.
std::string Utf8ToGb2312(std::string_view utf8);
/// Replaces UTF-8 text by what Utf8ToGb2312 gives for it, in the text's own buffer where it can.
void ConvertToGb2312InPlace(std::string& text);

/// UTF-8 text for the inside of a script string: each character that GB2312 lacks becomes the
/// escape "\uXXXX" (a surrogate pair beyond U+FFFF), each ill-formed byte "\uFFFD", and every
/// other byte stays. The numeric character reference that Utf8ToGb2312 would write instead
/// means nothing inside a script and would show as its own text.
std::string EscapeOutsideGb2312ForScript(std::string_view utf8);

/// The UTF-8 text of bytes that a browser sent for a GB2312 page. Browsers encode such forms as
/// GBK (the euro sign as the single byte 0x80), and GB18030 is a superset of GBK, so the bytes are
/// read as GB18030 plus that one byte. Each byte that starts no valid sequence becomes U+FFFD.
/// Never fails.
std::string Gb18030ToUtf8(std::string_view bytes);

}  // namespace sheetora
