// Exact maximisation of a linear function plus a floor term, the step that the fast layout
// searches repeat.
#pragma once

#include <cstdint>

namespace sheetora {

using Int128 = __int128;

struct LinearFloorMax {
  Int128 value;
  std::int64_t x;
};

/// The maximum over whole x in [0, n] of h(x) = alpha*x + beta*floor((c0 - s*x) / t), and the
/// smallest x that reaches it. Requires alpha, beta >= 0, s, t >= 1, n >= 0, c0 - s*n >= 0 and
/// all arguments below 2^34. Takes O(log^2 t) steps whatever n is.
LinearFloorMax MaxLinearFloor(std::int64_t alpha, std::int64_t beta, std::int64_t c0,
                              std::int64_t s, std::int64_t t, std::int64_t n);

}  // namespace sheetora
