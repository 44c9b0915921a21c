#include "layout/bounds.h"

#include <algorithm>

namespace sheetora::layout {

namespace {

// The least waste of any layout of 1 x n bars, either way round, in X x Y.
__int128 BarWaste(std::int64_t X, std::int64_t Y, std::int64_t n) {
  const __int128 r = X % n, s = Y % n;
  return std::min(r * s, (n - r) * (n - s));
}

}  // namespace

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

}  // namespace sheetora::layout
