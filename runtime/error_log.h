// The error log: one line per trapped run-time error, appended to QuennetLog.Log.
#pragma once

#include <chrono>
#include <filesystem>
#include <string_view>

namespace sheetora {

/// Appends "<local date and time>    <text>\r\n" to QuennetLog.Log in the log folder that the
/// host set in the current page context (the working folder when it set none). The line goes out in
/// one write on an O_APPEND descriptor, so lines of concurrent writers never interleave, and it
/// starts on a fresh line even when an earlier write was cut short (a full disk). Never fails: a
/// line that cannot be written is lost.
///
/// A flood of one error is summarised: of the same text in the same folder, the first
/// kRepeatBurst lines of each kRepeatInterval are written, and the rest are counted and written
/// as one line "<text> ... repeated N times" once the interval is over (see WriteErrorLogRepeats).
void WriteErrorLog(std::string_view text);

/// Writes the summary line of every counted repeat whose interval is over, or of every one when
/// `all`. Called now and then by the host, and with `all` when it stops, so that the count of a
/// flood that has ended is not held back.
void WriteErrorLogRepeats(bool all = false);

/// The log file's name.
inline constexpr std::string_view kErrorLogName = "QuennetLog.Log";

inline constexpr int kRepeatBurst = 10;
inline constexpr std::chrono::seconds kRepeatInterval{10};

}  // namespace sheetora
