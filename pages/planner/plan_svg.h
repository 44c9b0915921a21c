// The drawing of a plan as SVG: inline in the planner page, and on its own at /plan.svg.
#pragma once

#include <string>

#include "layout/layout.h"
#include "pages/planner/messages.h"

namespace sheetora::planner {

/// An <svg> element at true proportions, one user unit a millimetre, the gripper edge at the
/// bottom: the sheet, the shaded margins, each piece as a rect of class "piece" with its bleed
/// (or, beyond 5,000 pieces, each block as a rect of class "block"), the numbered cut lines and
/// the dimensions, labelled in the locale's words and unit, with the request as its title and
/// the layout in words as its description. `standalone` adds the XML declaration and a size in
/// millimetres, for a file.
std::string PlanSvg(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale, bool standalone);

}  // namespace sheetora::planner
