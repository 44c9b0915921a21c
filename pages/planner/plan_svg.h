// The drawing of a sheet layout as SVG: inline in the planner pages, and on its own at /plan.svg
// and /gang.svg.
#pragma once

#include <string>

#include "layout/layout.h"
#include "pages/planner/plan_view.h"

namespace sheetora::planner {

/// An <svg> element at true proportions, one user unit a millimetre, the gripper edge at the
/// bottom: the sheet, the shaded margins, each piece as a rect of class "piece" with its bleed
/// (or, beyond 5,000 pieces, each block as a rect of class "block"), the numbered cut lines and
/// the dimensions, in the locale's words and unit, titled with the request and described with
/// the layout in words. `standalone` adds the XML declaration and a size in millimetres, for a
/// file.
std::string PlanSvg(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale, bool standalone);

/// Any sheet layout's drawing so: each piece of class "piece" and, when the labels have a
/// legend, "job-K" in its kind's colour, with the legend under the sheet.
std::string DrawingSvg(const Drawing& drawing, const DrawingLabels& labels, bool standalone);

}  // namespace sheetora::planner
