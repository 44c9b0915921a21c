// The engine's JSON: strict reading of requests (request_json.cc, on the JSON reader it shares
// with the gang planner) and the exact text of answers and refusals (answer_json.cc).
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "layout/layout.h"

namespace sheetora::layout {

/// Reads a request and validates it. Refuses anything the contract does not describe: bad JSON,
/// trailing bytes, duplicate or unknown keys, wrong types, nesting deeper than the request's own,
/// fractional counts. Lengths are read in mm (or inches with "unit": "in") and rounded to the
/// nearest micrometre from the number as written, halves away from zero.
std::variant<Request, RequestError> ParseRequest(std::string_view text);

/// A request as JSON that ParseRequest reads back to the same request: lengths in mm, every
/// field written.
std::string RequestJson(const Request& request);

/// The answer as JSON text ending in a newline: keys always in the same order, lengths in mm
/// with at most 3 decimals. The same request gives the same bytes but for `elapsed_ms`.
std::string AnswerJson(const Answer& answer);

/// The proof as answers name it: "optimal", "best-guillotine" or "none".
std::string_view ProofName(Proof proof);

/// Why cuts is null, as answers name it: "die", "too-many-pieces" or "not-guillotine".
std::string_view CutsNoteName(CutsNote note);

/// {"error": ..., "field": ...} ending in a newline.
std::string ErrorJson(const RequestError& error);

}  // namespace sheetora::layout
