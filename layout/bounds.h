// Upper bounds on the number of a x b rectangles (either way round) in an X x Y rectangle,
// valid for every layout, guillotine or not.
#pragma once

#include <cstdint>

namespace sheetora::layout {

/// The area bound with Barnes' waste: any layout of a x b pieces is also a layout of 1 x a bars
/// (and of 1 x b bars), and a layout of 1 x n bars leaves at least min(r*s, (n-r)*(n-s)) cells
/// uncovered, with r = X mod n and s = Y mod n. Whole-number sides; either orientation allowed.
/// The sides should already be shrunk to raster points, which only tightens it.
std::int64_t BarnesBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b);

/// A straight line across the rectangle meets i pieces a long and j pieces b long with
/// i*a + j*b at most the side, so the lines' average lies in the hull of those (i, j); over the
/// lines along x and along y this bounds the upright and turned counts together (a small linear
/// programme). Often tighter than Barnes' bound where the sides leave awkward remainders; the
/// largest value when the sides are too long to be worth it.
std::int64_t LineBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b);

/// The bound used for every rectangle of a search: exact when only one orientation fits.
std::int64_t UpperBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b);

/// The tightest bound known, for a whole sheet.
std::int64_t SheetBound(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b);

/// columns x rows of one orientation: a along X, b along Y.
inline std::int64_t Grid(std::int64_t X, std::int64_t Y, std::int64_t a, std::int64_t b) {
  return (X / a) * (Y / b);
}

}  // namespace sheetora::layout
