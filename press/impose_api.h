// POST /api/v1/impose: a layout request and its artwork in a multipart/form-data body, answered
// with the imposed press sheet as a PDF, or a refusal as JSON.
#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetora::press {

/// The body this endpoint takes: the artwork's 50 MiB and room for the request and the form.
inline constexpr std::size_t kMaxImposeBodyBytes = 50 * 1024 * 1024 + 128 * 1024;

struct ImposeAnswer {
  unsigned status = 200;
  std::string content_type;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

/// Answers one request: `body` is the whole multipart body (a mapped temporary file or memory).
/// The artwork is checked before the layout is planned, so bad artwork costs no search.
/// `date` names the day on the slug line ("2026-12-07"; empty: today, UTC).
ImposeAnswer ImposeEndpoint(std::string_view method, std::string_view content_type,
                            std::string_view body, const std::stop_token& stop = {},
                            std::string_view date = {});

}  // namespace sheetora::press
