// Numbers read from the decimal text a caller wrote, not from its nearest binary double: the one
// reader of lengths for the JSON requests and the planner's form alike, so that 0.5005 mm is
// 501 µm wherever it is typed.
#pragma once

#include <cstdint>
#include <string_view>

namespace sheetora::layout {

/// A number as written: mantissa x 10^exponent, the mantissa cut to 30 significant digits
/// (beyond them a digit moves no length by a micrometre).
struct Decimal {
  __int128 mantissa = 0;
  int exponent = 0;
  bool negative = false;
};

/// Reads number text as JSON writes it: an optional '-', digits with an optional '.', and an
/// optional exponent. The text must already be known to be such a number.
Decimal ReadDecimal(std::string_view text);

/// The nearest whole number to decimal x scale, halves away from zero; `exact` tells whether no
/// rounding took place. Magnitudes beyond 10^15 are clamped there: no field takes them.
std::int64_t RoundScaled(const Decimal& d, std::int64_t scale, bool* exact = nullptr);

}  // namespace sheetora::layout
