#include "layout/decimal.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace sheetora::layout {

Decimal ReadDecimal(std::string_view text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    d.negative = true;
    ++i;
  }
  int digits = 0;
  bool fraction = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      fraction = true;
      continue;
    }
    if (digits < 30) {
      d.mantissa = d.mantissa * 10 + (text[i] - '0');
      if (d.mantissa != 0) ++digits;
      if (fraction) --d.exponent;
    } else if (!fraction) {
      ++d.exponent;
    }
  }
  if (i < text.size()) {
    // The exponent of a finite double fits in an int; clamped anyway, far beyond any length.
    const long long written = std::strtoll(std::string(text.substr(i + 1)).c_str(), nullptr, 10);
    d.exponent += static_cast<int>(std::clamp(written, -100'000LL, 100'000LL));
  }
  return d;
}

std::int64_t RoundScaled(const Decimal& d, std::int64_t scale, bool* exact) {
  constexpr __int128 kCap = 1'000'000'000'000'000;
  __int128 n = d.mantissa * scale;
  bool is_exact = true;
  if (d.exponent >= 0) {
    for (int e = 0; e < d.exponent && n < kCap; ++e) n *= 10;
  } else if (d.exponent < -37) {
    is_exact = n == 0;
    n = 0;
  } else {
    __int128 divisor = 1;
    for (int e = 0; e < -d.exponent; ++e) divisor *= 10;
    const __int128 rest = n % divisor;
    n = n / divisor + (2 * rest >= divisor ? 1 : 0);
    is_exact = rest == 0;
  }
  if (exact != nullptr) *exact = is_exact;
  n = std::min(n, kCap);
  return static_cast<std::int64_t>(d.negative ? -n : n);
}

}  // namespace sheetora::layout
