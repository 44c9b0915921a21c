// The printable cut sheet of a plan, /plan.pdf: the drawing, the figures and the cut list on
// A4 landscape, drawn with Cairo.
#pragma once

#include <string>

#include "layout/layout.h"
#include "pages/planner/messages.h"

namespace sheetora::planner {

/// The PDF's bytes. The first page holds the drawing, the figures and as much of the cut list
/// as fits; the rest of a long cut list follows on further pages. Text is in the locale's
/// language and unit, set in WenQuanYi Micro Hei (fontconfig picks another face where it is
/// missing); the document's title and subject say what it is in that language.
std::string PlanPdf(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale);

}  // namespace sheetora::planner
