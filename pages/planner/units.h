// Lengths as the planner writes and reads them: micrometres underneath, millimetres or inches
// on the form and the page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "layout/layout.h"

namespace sheetora::planner {

enum class Unit { kMm, kIn };

inline constexpr layout::Micrometres kMicrometresPerInch = 25400;

/// A length as millimetres: at most 3 decimals, no trailing zeros ("3.5", "1092").
std::string Mm(layout::Micrometres length);
/// "1092 × 787" in millimetres.
std::string SizeText(layout::Micrometres length, layout::Micrometres width);
/// A number with at most `decimals` decimals; without trailing zeros unless `keep_zeros` (money).
std::string Decimal(double value, int decimals, bool keep_zeros = false);

/// A length in the unit, plain decimal text that reads back to the same micrometres: inches
/// take up to 5 decimals, within 0.13 µm ("8.5", "30.98425" for 787 mm).
std::string LengthText(layout::Micrometres length, Unit unit);

/// The text without the blanks and tabs around it.
std::string_view Trim(std::string_view text);

/// Typed text with a fraction ("8 1/2", "8½", "8-1/2", "3/16") as decimal text ("8.5",
/// "0.1875"), so one reader of decimals reads it; the text itself when it has no fraction.
/// Fractions are exact to 9 decimals, far below a micrometre.
std::string FractionsAsDecimals(std::string_view typed);

}  // namespace sheetora::planner
