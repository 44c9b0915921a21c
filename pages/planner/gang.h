// /gang: several jobs printed together on shared sheets, beside /plan and in its look. One GET
// form whose fields are the query, so a plan can be bookmarked: the sheet and margins, a table of
// jobs (one row a job: the fields job, size, qty, jbleed and jgrain repeat in the row's order)
// and the plan's costs; below it the plan's figures, each job's quantity and each layout.
// /gang.svg?...&layout=N and /gang.pdf take the same query.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/app_routes.h"
#include "layout/gang/gang.h"
#include "pages/planner/form.h"

namespace sheetora::planner {

/// Without script the jobs' table offers at least this many rows.
inline constexpr std::size_t kGangMinRows = 12;

/// The gang form as typed, and either the request it asks for (which the planner accepts) or
/// the first thing wrong with it.
struct ParsedGang {
  Typed typed;                         ///< every field; a row's fields keyed "qty-3" (rows from 0)
  std::size_t rows = 0;                ///< rows of the jobs' table as typed
  std::vector<std::size_t> item_rows;  ///< the row of each of the request's items
  std::optional<layout::gang::GangRequest> request;
  std::optional<FormError> error;
  const Language* language = &Languages().front();
  Unit unit = Unit::kMm;

  Locale locale() const { return {*language, unit}; }
};

/// Reads the form's fields from a query. A row of the table starts at each "job" field, or at a
/// field the row already has; rows left blank are skipped; a job without a name is named after its
/// row ("#3"). Empty fields take the planner's defaults; an empty query (but for `lang`) is an
/// example form of three jobs. The `lang` field, else the Accept-Language header, chooses the
/// language.
ParsedGang ParseGangQuery(const Query& query, std::string_view accept_language = "");

/// The whole page for a parsed form and, when it has a request, its plan.
std::string GangPage(const ParsedGang& form, const layout::gang::GangAnswer* answer);

AppAnswer ServeGangPage(const AppRequest& request);
AppAnswer ServeGangSvg(const AppRequest& request);
AppAnswer ServeGangPdf(const AppRequest& request);

}  // namespace sheetora::planner
