// Numeric text: the one syntax every conversion uses, and the text form it reads back.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/errors.h"
#include "runtime/value.h"
#include "tests/fuzz/fuzz_check.h"

using sheetora::ParseNumber;
using sheetora::RuntimeError;
using sheetora::Value;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Any double's text form is printf's "%.15G" (with 0 for both zeros).
  if (size >= sizeof(double)) {
    double any;
    std::memcpy(&any, data, sizeof any);
    char expected[40] = "0";
    if (any != 0) std::snprintf(expected, sizeof expected, "%.15G", any);
    FUZZ_CHECK(sheetora::FormatNumber(any) == expected);
  }

  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto number = ParseNumber(text);

  // Conversions of a string value agree with the syntax, and fail only as a type mismatch.
  const Value value(text);
  FUZZ_CHECK(value.IsNumeric() == number.has_value());
  try {
    const double d = value.ToDouble();
    FUZZ_CHECK(number && (d == *number || (std::isnan(d) && std::isnan(*number))));
  } catch (const RuntimeError& e) {
    FUZZ_CHECK(!number && e.number() == 13);
  }
  if (!number) return 0;

  // Only blanks, a sign, digits, a point and an exponent make a number, and it is finite.
  FUZZ_CHECK(text.find_first_not_of(" \t+-.0123456789eE") == std::string::npos);
  FUZZ_CHECK(std::isfinite(*number));

  // The text form is stable: reading it back gives a number with the same text form. Only a
  // magnitude within the last rounding step below the largest double can write a text that
  // rounds up beyond it.
  const std::string form = sheetora::FormatNumber(*number);
  FUZZ_CHECK(!form.empty() && form.size() <= 22);
  if (const auto back = ParseNumber(form)) {
    FUZZ_CHECK(sheetora::FormatNumber(*back) == form);
    FUZZ_CHECK(std::fabs(*back - *number) <= std::fabs(*number) * 1e-14);
  } else {
    FUZZ_CHECK(std::fabs(*number) > 1.797693134862315e308);
  }

  // Rounding to a whole number either overflows or lands within a half.
  try {
    const std::int32_t r = sheetora::RoundToInt32(*number);
    FUZZ_CHECK(std::fabs(static_cast<double>(r) - *number) <= 0.5);
  } catch (const RuntimeError& e) {
    FUZZ_CHECK(e.number() == 6 && std::fabs(*number) >= 2147483647.5);
  }
  return 0;
}
