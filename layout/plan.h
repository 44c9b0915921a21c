// A whole request: validation, the reduction to the plain problem, the layout, the cut program
// and the job's figures.
#pragma once

#include <optional>
#include <stop_token>

#include "layout/layout.h"

namespace sheetora::layout {

inline constexpr Micrometres kMaxSide = 100'000 * kMicrometresPerMm;   ///< sheet and piece sides
inline constexpr Micrometres kMaxSpacing = 1'000 * kMicrometresPerMm;  ///< bleed, gutter, margins
inline constexpr int kMaxTimeLimitMs = 10'000;
inline constexpr int kMaxMaxStack = 100;  ///< layers of strips cut at once
/// Bounds that keep every job figure exact in 64-bit integers.
inline constexpr std::int64_t kMaxQuantity = 1'000'000'000'000;
inline constexpr std::int64_t kMaxMakeready = 1'000'000'000;

/// The first thing wrong with a request, or nothing when the engine can plan it. The one check
/// of a request, whoever built it: the JSON reader, the program and the planner page.
std::optional<RequestError> Validate(const Request& request);

/// Plans a request that Validate accepts. The searches end at their step budgets, so the answer
/// depends on the request alone; its time limit or a stop request cuts them short (the answer
/// then is not `complete`).
Answer Plan(const Request& request, std::stop_token stop = {});

/// The area of a rectangle in square micrometres.
inline double Area(const Size& size) {
  return static_cast<double>(size.length) * static_cast<double>(size.width);
}

/// Rounds to a number of decimals, as the answer writes its ratios and money.
double RoundTo(double value, int decimals);

}  // namespace sheetora::layout
