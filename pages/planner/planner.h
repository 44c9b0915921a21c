// /plan: the job planner, a page of our own in UTF-8. One GET form whose fields are the query,
// so a plan can be bookmarked; the answer, the drawing and the cut list below it. /plan.svg and
// /plan.pdf take the same query and answer the drawing and the printable cut sheet.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "layout/layout.h"
#include "pages/planner/form.h"
#include "runtime/app_request.h"

namespace sheetora::planner {

/// The form as typed, and either the request it asks for (which the engine accepts) or the
/// first thing wrong with it.
struct ParsedForm {
  Typed typed;  ///< every field of the form
  std::optional<layout::Request> request;
  std::optional<FormError> error;
  const Language* language = &Languages().front();
  Unit unit = Unit::kMm;

  Locale locale() const { return {*language, unit}; }
};

/// Reads the form's fields from a query. Empty fields take the engine's defaults; sheet and
/// piece are required, except that an empty query is the default form (1092 x 787 sheet,
/// 210 x 140 piece). Lengths are millimetres, or inches with unit=in. Unknown fields are
/// ignored; of a field given twice the first counts. The `lang` field, else the Accept-Language
/// header, chooses the language.
ParsedForm ParsePlannerQuery(const Query& query, std::string_view accept_language = "");

/// The whole page for a parsed form and, when it has a request, its answer.
std::string PlannerPage(const ParsedForm& form, const layout::Answer* answer);

/// The /plan form's field of that name (which /gang shares), or null.
const Field* FindPlannerField(std::string_view name);

AppAnswer ServePlanPage(const AppRequest& request);
AppAnswer ServePlanSvg(const AppRequest& request);
AppAnswer ServePlanPdf(const AppRequest& request);
/// /plan.ppf and /plan.jdf: the same layout as cut data for the guillotine.
AppAnswer ServePlanPpf(const AppRequest& request);
AppAnswer ServePlanJdf(const AppRequest& request);

}  // namespace sheetora::planner
