// Cookies with subkeys, as the Cookie header brings them and as Set-Cookie sends them.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "runtime/host_objects.h"

namespace sheetora {

/// Adds one cookie of the Cookie header to the request. Its value is split into subkeys on "&"
/// and, within each piece, at the first "="; names and values are percent-decoded ("+" is a
/// blank) and then read as the GB18030 bytes a browser sends. A piece without "=" names no
/// subkey and is dropped, so a cookie without subkeys adds nothing.
void AddRequestCookie(Request& request, std::string_view name, std::string_view value);

/// The Set-Cookie header value of a response cookie:
/// "PinBan=PaperL=1092&PaperW=787&PL=210&PW=140; expires=Thu, 02 Dec 2027 00:00:00 GMT; path=/".
/// Names and values are sent as GB2312 bytes, percent-encoded except letters, digits and "-._~".
/// Without an expiry date the cookie lasts for the browser session.
std::string FormatSetCookie(std::string_view name, const ResponseCookie& cookie);

/// Midnight UTC of the date in the HTTP date form, "Thu, 02 Dec 2027 00:00:00 GMT".
std::string HttpDate(std::chrono::sys_days date);

}  // namespace sheetora
