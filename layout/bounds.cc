#include "layout/bounds.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace sheetora::layout {

namespace {

// The least waste of any layout of 1 x n bars, either way round, in X x Y.
__int128 BarWaste(std::int64_t X, std::int64_t Y, std::int64_t n) {
  const __int128 r = X % n, s = Y % n;
  return std::min(r * s, (n - r) * (n - s));
}

// p*u + q*t <= r
struct HalfPlane {
  long double p, q, r;
};

// The facets alpha*i + beta*j <= gamma of the hull of {i, j >= 0 : i*p + j*q <= L}, each added
// as alpha*scale_i*u + beta*scale_j*t <= gamma*scale_r.
void AddHull(std::int64_t L, std::int64_t p, std::int64_t q, std::int64_t scale_i,
             std::int64_t scale_j, std::int64_t scale_r, std::vector<HalfPlane>& out) {
  // The upper hull of the points (i, most j), i ascending.
  std::vector<std::array<std::int64_t, 2>> hull;
  for (std::int64_t i = 0; i <= L / p; ++i) {
    const std::array<std::int64_t, 2> point{i, (L - i * p) / q};
    while (hull.size() >= 2) {
      const auto& [x1, y1] = hull[hull.size() - 2];
      const auto& [x2, y2] = hull.back();
      if ((x2 - x1) * (point[1] - y1) - (y2 - y1) * (point[0] - x1) < 0) break;
      hull.pop_back();
    }
    hull.push_back(point);
  }
  const auto add = [&](std::int64_t alpha, std::int64_t beta, std::int64_t gamma) {
    out.push_back({static_cast<long double>(alpha) * static_cast<long double>(scale_i),
                   static_cast<long double>(beta) * static_cast<long double>(scale_j),
                   static_cast<long double>(gamma) * static_cast<long double>(scale_r)});
  };
  for (std::size_t n = 1; n < hull.size(); ++n) {
    const auto& [x1, y1] = hull[n - 1];
    const auto& [x2, y2] = hull[n];
    add(y1 - y2, x2 - x1, (y1 - y2) * x1 + (x2 - x1) * y1);
  }
  add(1, 0, hull.back()[0]);
  add(0, 1, hull.front()[1]);
}

}  // namespace

std::int64_t LineBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b) {
  constexpr std::int64_t kMaxPoints = 200'000;
  if (X / std::min(a, b) + Y / std::min(a, b) > kMaxPoints) {
    return std::numeric_limits<std::int64_t>::max();
  }
  // u upright pieces span b of height each, so the lines along x meet them u*b/Y times on
  // average; turned ones t*a/Y times. Likewise across.
  std::vector<HalfPlane> planes{{-1, 0, 0}, {0, -1, 0}};
  AddHull(X, a, b, b, a, Y, planes);
  AddHull(Y, b, a, a, b, X, planes);
  // The best vertex of a two-variable programme.
  long double best = 0;
  for (std::size_t m = 0; m < planes.size(); ++m) {
    for (std::size_t n = m + 1; n < planes.size(); ++n) {
      const HalfPlane &e = planes[m], &f = planes[n];
      const long double det = e.p * f.q - f.p * e.q;
      if (det == 0) continue;
      const long double u = (e.r * f.q - f.r * e.q) / det, t = (e.p * f.r - f.p * e.r) / det;
      // Rounding may only loosen the bound: a vertex a little outside still counts.
      const bool feasible = std::all_of(planes.begin(), planes.end(), [&](const HalfPlane& h) {
        const long double slack =
            1e-9L * (std::fabs(h.p * u) + std::fabs(h.q * t) + std::fabs(h.r) + 1);
        return h.p * u + h.q * t <= h.r + slack;
      });
      if (feasible) best = std::max(best, u + t);
    }
  }
  return static_cast<std::int64_t>(std::floor(best * (1 + 1e-9L) + 1e-6L));
}

std::int64_t BarnesBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b) {
  const __int128 waste = std::max(BarWaste(X, Y, a), BarWaste(X, Y, b));
  return static_cast<std::int64_t>((static_cast<__int128>(X) * Y - waste) /
                                   (static_cast<__int128>(a) * b));
}

std::int64_t UpperBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b) {
  const bool upright = a <= X && b <= Y, turned = b <= X && a <= Y;
  if (!upright || !turned) return upright ? Grid(X, Y, a, b) : turned ? Grid(X, Y, b, a) : 0;
  return BarnesBound(X, Y, a, b);
}

std::int64_t SheetBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b) {
  const std::int64_t bound = UpperBound(X, Y, a, b);
  const bool both_fit = std::max(a, b) <= std::min(X, Y);
  return both_fit ? std::min(bound, LineBound(X, Y, a, b)) : bound;
}

}  // namespace sheetora::layout
