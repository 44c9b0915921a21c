// The error log: one line per trapped run-time error, appended to QuennetLog.Log.
#pragma once

#include <filesystem>
#include <string_view>

namespace sheetora {

/// Appends "<local date and time>    <text>\r\n" to QuennetLog.Log in the log folder that the
/// host set in the current page context (the working folder when it set none). The line goes out in
/// one write on an O_APPEND descriptor, so lines of concurrent writers never interleave. Never
/// fails: a line that cannot be written is lost.
void WriteErrorLog(std::string_view text);

/// The log file's name.
inline constexpr std::string_view kErrorLogName = "QuennetLog.Log";

}  // namespace sheetora
