#include "calc/linear_floor.h"

#include <algorithm>

namespace sheetora {
namespace {

using i64 = std::int64_t;
using i128 = Int128;

// The smallest x >= 0 with lo <= (a*x mod m) <= hi, or -1 when there is none.
// Requires 0 <= lo <= hi < m and a >= 0. Euclid-like: O(log m).
i64 FirstInRange(i64 a, i64 m, i64 lo, i64 hi) {
  a %= m;
  if (lo == 0) return 0;
  if (a == 0) return -1;
  const i64 x = (lo + a - 1) / a;
  if (static_cast<i128>(a) * x <= hi) return x;
  // [lo, hi] holds no multiple of a, so it is shorter than a and a solution a*x - m*y needs
  // y >= 1; for each y at most one x fits, and x grows with y. Find the least y for which
  // [lo + m*y, hi + m*y] holds a multiple of a: (m*y mod a) in [-hi mod a, -lo mod a].
  const i64 y = FirstInRange(m % a, a, a - hi % a, a - lo % a);
  if (y < 0) return -1;
  const i128 base = static_cast<i128>(m) * y + lo;
  return static_cast<i64>((base + a - 1) / a);
}

// Calls visit(first, last) for each run of the strict prefix minima ("records") of
// v(y) = (c + a*y) mod m over y in [0, n]: y = 0 alone, then runs of records evenly spaced in y
// whose values fall evenly, so that any function linear in (y, v) is extreme at a run's ends.
// The next record after value v lies at the least step d with (a*d mod m) >= m - v; the same d
// serves while the value stays at least the drop it causes.
template <typename Visit>
void ForEachRecordRun(i64 c, i64 a, i64 m, i64 n, Visit visit) {
  i64 y = 0;
  i64 v = c;
  visit(y, y);
  while (v > 0 && y < n) {
    const i64 d = FirstInRange(a, m, m - v, m - 1);
    if (d < 0 || d > n - y) return;
    const i64 drop = m - static_cast<i64>(static_cast<i128>(a) * d % m);
    const i64 steps = std::min(v / drop, (n - y) / d);
    visit(y + d, y + steps * d);
    y += steps * d;
    v -= steps * drop;
  }
}

// Up to this many points, MaxLinearFloor tries each one.
constexpr i64 kScanLimit = 16;

}  // namespace

// With z(x) = (c0 - s*x) mod t, t*h(x) = beta*c0 + slope*x - beta*z(x), slope = alpha*t - beta*s.
// When slope <= 0 a point is beaten by any earlier point with no larger z, so the maximum lies
// on the records of z read forwards; when slope > 0, on the records read backwards from n. Along
// a run of records t*h is linear, so only run ends count: O(log^2 t) in all.
LinearFloorMax MaxLinearFloor(i64 alpha, i64 beta, i64 c0, i64 s, i64 t, i64 n) {
  const auto h = [&](i64 x) {
    return static_cast<i128>(alpha) * x + static_cast<i128>(beta) * ((c0 - s * x) / t);
  };
  LinearFloorMax best{h(0), 0};
  const auto consider = [&](i64 x) {
    const i128 v = h(x);
    if (v > best.value || (v == best.value && x < best.x)) best = {v, x};
  };
  // A page's usual sheet holds a handful of pieces per side: trying each x is cheaper than the
  // record runs below.
  if (n < kScanLimit) {
    for (i64 x = 1; x <= n; ++x) consider(x);
    return best;
  }
  if (beta == 0) {
    if (alpha > 0) consider(n);
    return best;
  }
  const i128 slope = static_cast<i128>(alpha) * t - static_cast<i128>(beta) * s;
  if (slope <= 0) {
    ForEachRecordRun(c0 % t, (t - s % t) % t, t, n, [&](i64 first, i64 last) {
      consider(first);
      consider(last);
    });
  } else {
    ForEachRecordRun((c0 - s * n) % t, s % t, t, n, [&](i64 first, i64 last) {
      consider(n - first);
      consider(n - last);
    });
  }
  return best;
}

}  // namespace sheetora
