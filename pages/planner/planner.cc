#include "pages/planner/planner.h"

#include <algorithm>
#include <set>
#include <span>

#include "layout/answer_cache.h"
#include "layout/json.h"
#include "layout/plan.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/plan_view.h"
#include "press/cut_data.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

using layout::Micrometres;

constexpr Msg kGroups[] = {Msg::kGroupSheet, Msg::kGroupLayout, Msg::kGroupJob, Msg::kGroupPress};

constexpr Choice kSides[] = {{"single", Msg::kSidesSingle},
                             {"sheetwise", Msg::kSidesSheetwise},
                             {"work-and-turn", Msg::kSidesTurn},
                             {"work-and-tumble", Msg::kSidesTumble}};
constexpr Choice kOnOff[] = {{"on", Msg::kMarkOn}, {"off", Msg::kMarkOff}};

constexpr auto kSheets = PresetKind::kSheet, kPieces = PresetKind::kPiece;

constexpr Field kFields[] = {
    {"sheet", Msg::kSheet, Kind::kSize, "", kNoMsg, "1092x787", {}, 0, false, kSheets},
    {"piece", Msg::kPiece, Kind::kSize, "", kNoMsg, "210x140", {}, 0, false, kPieces},
    {"unit", Msg::kUnit, Kind::kChoice, "", kNoMsg, "", kUnits},
    {"bleed", Msg::kBleed, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"gutter", Msg::kGutter, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"gripper", Msg::kGripper, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"tail", Msg::kTail, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"left", Msg::kLeft, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"right", Msg::kRight, Kind::kLength, "", kNoMsg, "0", {}, 1},
    {"grain", Msg::kGrain, Kind::kChoice, "", kNoMsg, "", kGrains, 1},
    {"cut", Msg::kCut, Kind::kChoice, "", kNoMsg, "", kCuts, 1},
    {"quantity", Msg::kQuantity, Kind::kCount, "", Msg::kCopiesSuffix, "", {}, 2},
    {"overs", Msg::kOvers, Kind::kNumber, "%", kNoMsg, "0", {}, 2},
    {"makeready", Msg::kMakeready, Kind::kCount, "", Msg::kSheetsSuffix, "0", {}, 2},
    {"parent", Msg::kParent, Kind::kSize, "", kNoMsg, "", {}, 2, false, kSheets},
    {"grammage", Msg::kGrammage, Kind::kNumber, "g/m²", kNoMsg, "", {}, 2},
    {"price", Msg::kPrice, Kind::kNumber, "", kNoMsg, "", {}, 2},
    {"price_per", Msg::kPricePer, Kind::kChoice, "", kNoMsg, "", kPricePer, 2, true},
    {"sides", Msg::kSides, Kind::kChoice, "", kNoMsg, "", kSides, 3},
    {"max_stack", Msg::kMaxStack, Kind::kCount, "", Msg::kLayersSuffix, "4", {}, 3},
    {"crop", Msg::kCropMarks, Kind::kChoice, "", kNoMsg, "", kOnOff, 3},
    {"registration", Msg::kRegistrationMarks, Kind::kChoice, "", kNoMsg, "", kOnOff, 3},
    {"slug", Msg::kSlugLine, Kind::kChoice, "", kNoMsg, "", kOnOff, 3},
};

layout::Request ReadRequest(FormReader& form) {
  layout::Request request;
  for (const std::string_view required : {"sheet", "piece"}) {
    if (!form.Given(required)) form.Refuse(required, Msg::kErrRequired);
  }
  request.sheet = form.SizeOf("sheet");
  request.piece = form.SizeOf("piece");
  form.ChoiceOf("unit", kUnits);
  if (form.Given("bleed")) request.bleed = form.LengthOf("bleed");
  if (form.Given("gutter")) request.gutter = form.LengthOf("gutter");
  if (form.Given("gripper")) request.margins.gripper = form.LengthOf("gripper");
  if (form.Given("tail")) request.margins.tail = form.LengthOf("tail");
  if (form.Given("left")) request.margins.left = form.LengthOf("left");
  if (form.Given("right")) request.margins.right = form.LengthOf("right");
  request.grain = static_cast<layout::Grain>(form.ChoiceOf("grain", kGrains));
  request.cut = static_cast<layout::CutMode>(form.ChoiceOf("cut", kCuts));
  request.sides = static_cast<layout::Sides>(form.ChoiceOf("sides", kSides));
  if (form.Given("max_stack")) {
    request.max_stack = static_cast<int>(
        std::clamp<std::int64_t>(form.CountOf("max_stack"), 0, layout::kMaxMaxStack + 1));
  }
  request.marks = {.crop = form.ChoiceOf("crop", kOnOff) == 0,
                   .registration = form.ChoiceOf("registration", kOnOff) == 0,
                   .slug = form.ChoiceOf("slug", kOnOff) == 0};

  bool job_given = false;
  for (const std::string_view name :
       {"quantity", "overs", "makeready", "parent", "grammage", "price"}) {
    job_given = job_given || form.Given(name);
  }
  if (!job_given) return request;
  if (!form.Given("quantity")) form.Refuse("quantity", Msg::kErrQuantityNeeded);
  layout::Job& job = request.job.emplace();
  job.quantity = form.CountOf("quantity");
  if (form.Given("overs")) job.overs_percent = form.NumberOf("overs");
  if (form.Given("makeready")) job.makeready = form.CountOf("makeready");
  if (form.Given("parent")) job.parent = form.SizeOf("parent");
  if (form.Given("grammage")) job.grammage = form.NumberOf("grammage");
  const std::size_t per = form.ChoiceOf("price_per", kPricePer);
  if (form.Given("price")) {
    job.price =
        layout::Price{.per = static_cast<layout::PricePer>(per), .amount = form.NumberOf("price")};
  }
  return request;
}

/// The form field that an engine's field path ("job.parent.width") belongs to, or "".
std::string FormFieldOf(std::string_view path) {
  for (const std::string_view prefix : {"job.", "margins.", "marks."}) {
    if (path.starts_with(prefix)) path.remove_prefix(prefix.size());
  }
  path = path.substr(0, path.find('.'));
  if (path == "job") return "quantity";
  return FindPlannerField(path) != nullptr ? std::string(path) : "";
}

/// The typed fields as a query string, without the language.
std::string QueryString(const ParsedForm& form) {
  std::string query;
  for (const Field& field : kFields) {
    const std::string& value = form.typed.find(field.name)->second;
    if (!value.empty()) AppendQueryField(query, field.name, value);
  }
  return query;
}

void AppendForm(std::string& html, const ParsedForm& form, const Locale& locale) {
  html += "<form id=\"plan-form\" action=\"/plan\" method=\"get\">\n";
  html.append("<input type=\"hidden\" name=\"lang\" value=\"")
      .append(locale.language().code)
      .append("\">\n");
  if (form.error && form.error->field.empty()) AppendError(html, *form.error, locale);
  const std::span<const Field> fields = kFields;
  for (std::size_t begin = 0, end = 0; begin < fields.size(); begin = end) {
    const int group = fields[begin].group;
    while (end < fields.size() && fields[end].group == group) ++end;
    html.append("<fieldset><legend>").append(locale[kGroups[group]]).append("</legend>\n");
    AppendFieldRows(html, fields.subspan(begin, end - begin), form.typed, form.error, locale);
    if (end < fields.size()) html += "</fieldset>\n";
  }
  html.append("</fieldset>\n<button type=\"submit\">")
      .append(locale[Msg::kSubmit])
      .append("</button>\n</form>\n");
  AppendPresetLists(html, locale);
}

void AppendResult(std::string& html, const ParsedForm& form, const layout::Answer& answer,
                  const Locale& locale) {
  const layout::Request& request = *form.request;
  html += "<section id=\"result\" tabindex=\"-1\">\n<p class=\"summary\">" +
          RequestSummary(request, locale) + "</p>\n";
  html += "<figure id=\"drawing\">\n" + PlanSvg(request, answer, locale, false) + "</figure>\n";
  AppendFigures(html, Figures(answer, locale), "id=\"figures\"", "id", answer.proof);
  html.append("<section id=\"cut-list\" aria-labelledby=\"cut-list-title\">")
      .append("<h2 id=\"cut-list-title\">")
      .append(locale[Msg::kCutList])
      .append("</h2>\n");
  const std::vector<std::string> steps =
      answer.cuts ? CutSteps(*answer.cuts, locale) : std::vector<std::string>{};
  if (steps.empty()) {
    html += "<p class=\"note\">" + NoCutsNote(answer, locale) + "</p>\n";
  } else {
    // Focusable, so the keyboard can scroll a long list.
    html += "<ol id=\"cuts\" tabindex=\"0\" aria-labelledby=\"cut-list-title\">\n";
    for (const std::string& step : steps) html += "<li>" + step + "</li>\n";
    html.append("</ol>\n<h2 id=\"lifts-title\">").append(locale[Msg::kLiftList]).append("</h2>\n");
    html.append("<ol id=\"lifts\" tabindex=\"0\" aria-labelledby=\"lifts-title\">\n");
    for (const std::string& lift : LiftSteps(*answer.sequence, locale)) {
      html += "<li>" + lift + "</li>\n";
    }
    html += "</ol>\n";
  }
  std::string query = QueryString(form);
  AppendQueryField(query, "lang", locale.language().code);
  query = EscapeHtmlAttribute(query);
  html.append("<p class=\"links\"><a href=\"/plan.pdf")
      .append(query)
      .append("\">")
      .append(locale[Msg::kPdfLink])
      .append("</a><a href=\"/plan.svg")
      .append(query)
      .append("\">")
      .append(locale[Msg::kSvgLink])
      .append("</a><a href=\"/plan.ppf")
      .append(query)
      .append("\">")
      .append(locale[Msg::kPpfLink])
      .append("</a><a href=\"/plan.jdf")
      .append(query)
      .append("\">")
      .append(locale[Msg::kJdfLink])
      .append("</a></p>\n</section>\n");
  // The artwork goes to the imposition with this very request, so the press sheet carries the
  // layout shown here.
  html.append("<form id=\"impose-form\" action=\"/api/v1/impose\" method=\"post\" ")
      .append("enctype=\"multipart/form-data\">\n<input type=\"hidden\" name=\"request\" value=\"")
      .append(EscapeHtmlAttribute(layout::RequestJson(request)))
      .append("\">\n<label for=\"f-artwork\">")
      .append(locale[Msg::kArtwork])
      .append("</label>\n<input id=\"f-artwork\" name=\"artwork\" type=\"file\" ")
      .append("accept=\"application/pdf\" required>\n<button type=\"submit\">")
      .append(locale[Msg::kImposeSubmit])
      .append("</button>\n</form>\n</section>\n");
}

}  // namespace

const Field* FindPlannerField(std::string_view name) {
  for (const Field& field : kFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

ParsedForm ParsePlannerQuery(const Query& query, std::string_view accept_language) {
  ParsedForm form;
  for (const Field& field : kFields) form.typed.emplace(field.name, "");
  std::string_view lang;
  bool lang_seen = false;
  bool only_lang = true;
  std::set<std::string_view> seen;
  for (const auto& [name, value] : query) {
    if (name == "lang") {
      if (!lang_seen) lang = value;
      lang_seen = true;
      continue;
    }
    only_lang = false;
    const auto field = form.typed.find(name);
    if (field != form.typed.end() && seen.insert(field->first).second) field->second = value;
  }
  form.language = &ChooseLanguage(lang, accept_language);
  if (only_lang) {
    form.typed["sheet"] = "1092x787";
    form.typed["piece"] = "210x140";
  }
  form.unit = UnitOf(form.typed);
  FormReader reader(form.typed);
  const layout::Request request = ReadRequest(reader);
  if (reader.error()) {
    form.error = reader.error();
  } else if (const auto refused = layout::Validate(request)) {
    form.error = Refusal(*refused, FormFieldOf(refused->field));
  } else {
    form.request = request;
  }
  return form;
}

std::string PlannerPage(const ParsedForm& form, const layout::Answer* answer) {
  const Locale locale = form.locale();
  const bool result = answer != nullptr && form.request;
  std::string html;
  const std::string nav = "<a href=\"/gang?lang=" + std::string(locale.language().code) + "\">" +
                          std::string(locale[Msg::kGangTitle]) +
                          "</a><a href=\"/\" hreflang=\"zh\">" +
                          std::string(locale[Msg::kClassicLink]) + "</a>" +
                          LanguageLinks("/plan", QueryString(form), locale);
  AppendPageHead(html, locale, locale[Msg::kTitle], nav, "", result ? "result" : "");
  AppendForm(html, form, locale);
  if (result) AppendResult(html, form, *answer, locale);
  html += "</main>\n</body>\n</html>\n";
  return html;
}

AppAnswer ServePlanPage(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) {
    return {.status = 400,
            .content_type = std::string(kHtmlType),
            .body = PlannerPage(form, nullptr),
            .headers = LanguageHeaders(form.locale())};
  }
  const layout::Answer answer = layout::PlanOnce(*form.request, request.stop);
  return {.content_type = std::string(kHtmlType),
          .body = PlannerPage(form, &answer),
          .headers = LanguageHeaders(form.locale())};
}

AppAnswer ServePlanSvg(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) return RefusedFile(*form.error, form.locale());
  return {.content_type = "image/svg+xml; charset=utf-8",
          .body = PlanSvg(*form.request, layout::PlanOnce(*form.request, request.stop),
                          form.locale(), true),
          .headers = LanguageHeaders(form.locale())};
}

namespace {

/// The layout as cut data for the guillotine, the same layout as the page's.
AppAnswer CutData(const AppRequest& request, bool ppf) {
  const ParsedForm form = ParsePlannerQuery(request.query);
  if (!form.request) return RefusedFile(*form.error, form.locale());
  const layout::Answer answer = layout::PlanOnce(*form.request, request.stop);
  return {.content_type = ppf ? "application/octet-stream" : "application/vnd.cip4-jdf+xml",
          .body = ppf ? press::PpfCutData(*form.request, answer, "plan")
                      : press::JdfCutting(*form.request, answer, "plan"),
          .headers = {{"Content-Disposition", ppf ? "attachment; filename=\"plan.ppf\""
                                                  : "attachment; filename=\"plan.jdf\""}}};
}

}  // namespace

AppAnswer ServePlanPpf(const AppRequest& request) { return CutData(request, true); }
AppAnswer ServePlanJdf(const AppRequest& request) { return CutData(request, false); }

AppAnswer ServePlanPdf(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) return RefusedFile(*form.error, form.locale());
  std::vector<std::pair<std::string, std::string>> headers = LanguageHeaders(form.locale());
  headers.emplace_back("Content-Disposition", "inline; filename=\"plan.pdf\"");
  return {
      .content_type = "application/pdf",
      .body = PlanPdf(*form.request, layout::PlanOnce(*form.request, request.stop), form.locale()),
      .headers = std::move(headers)};
}

}  // namespace sheetora::planner
