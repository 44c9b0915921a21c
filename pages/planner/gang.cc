#include "pages/planner/gang.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <set>
#include <span>

#include "layout/json.h"
#include "pages/planner/gang_view.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/planner.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

using layout::gang::GangAnswer;
using layout::gang::GangRequest;

/// The form's fields outside the jobs' table: the sheet and margins as on /plan, then the plan's
/// costs and paper. Group 0 comes before the table, group 2 after it.
const std::vector<Field>& GangFields() {
  static const std::vector<Field> fields = [] {
    const auto planner = [](std::string_view name, int group) {
      Field field = *FindPlannerField(name);
      field.group = group;
      return field;
    };
    std::vector<Field> list;
    for (const std::string_view name :
         {"sheet", "unit", "cut", "bleed", "gutter", "gripper", "tail", "left", "right"}) {
      list.push_back(planner(name, 0));
    }
    list.push_back(
        {"max_layouts", Msg::kMaxLayouts, Kind::kCount, "", Msg::kLayoutsSuffix, "20", {}, 2});
    Field makeready = planner("makeready", 2);
    makeready.label = Msg::kMakereadyPerLayout;
    list.push_back(makeready);
    list.push_back(
        {"setup_sheets", Msg::kSetupSheets, Kind::kNumber, "", Msg::kSheetsSuffix, "0", {}, 2});
    for (const std::string_view name : {"overs", "parent", "grammage", "price", "price_per"}) {
      list.push_back(planner(name, 2));
    }
    return list;
  }();
  return fields;
}

/// The jobs' table: one row a job, its fields repeated in the query in the rows' order.
constexpr Field kRowFields[] = {
    {"job", Msg::kJobName, Kind::kText},
    {"size", Msg::kPiece, Kind::kSize, "", kNoMsg, "", {}, 0, false, PresetKind::kPiece},
    {"qty", Msg::kQuantity, Kind::kCount},
    {"jbleed", Msg::kBleed, Kind::kLength},
    {"jgrain", Msg::kGrain, Kind::kChoice, "", kNoMsg, "", kGrains},
};

constexpr Msg kGroups[] = {Msg::kGroupGangSheet, Msg::kGroupJobs, Msg::kGroupGangPlan};

const Field* FindRowField(std::string_view name) {
  for (const Field& field : kRowFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

std::string RowKey(std::string_view name, std::size_t row) {
  return std::string(name) + "-" + std::to_string(row);
}

/// What an empty query shows: three jobs of a shop's day on a full sheet.
Query ExampleQuery(const Locale& locale) {
  return {{"sheet", "1092x787"},
          {"gripper", "10"},
          {"bleed", "3"},
          {"job", std::string(locale[Msg::kExampleFlyer])},
          {"size", "210x285"},
          {"qty", "6000"},
          {"job", std::string(locale[Msg::kPresetBusinessCard])},
          {"size", "90x54"},
          {"qty", "20000"},
          {"job", std::string(locale[Msg::kPresetPostcard])},
          {"size", "148x100"},
          {"qty", "8000"}};
}

GangRequest ReadGang(FormReader& form, std::size_t rows, std::vector<std::size_t>& item_rows) {
  GangRequest request;
  if (!form.Given("sheet")) form.Refuse("sheet", Msg::kErrRequired);
  request.sheet = form.SizeOf("sheet");
  form.ChoiceOf("unit", kUnits);
  request.cut = static_cast<layout::CutMode>(form.ChoiceOf("cut", kCuts));
  if (form.Given("bleed")) request.bleed = form.LengthOf("bleed");
  if (form.Given("gutter")) request.gutter = form.LengthOf("gutter");
  if (form.Given("gripper")) request.margins.gripper = form.LengthOf("gripper");
  if (form.Given("tail")) request.margins.tail = form.LengthOf("tail");
  if (form.Given("left")) request.margins.left = form.LengthOf("left");
  if (form.Given("right")) request.margins.right = form.LengthOf("right");

  for (std::size_t row = 0; row < rows; ++row) {
    const std::string job = RowKey("job", row), size = RowKey("size", row),
                      qty = RowKey("qty", row), bleed = RowKey("jbleed", row);
    if (!form.Given(job) && !form.Given(size) && !form.Given(qty) && !form.Given(bleed)) continue;
    layout::gang::GangItem item;
    item.id = form.Given(job) ? std::string(form.Text(job))
                              : std::string("#").append(std::to_string(row + 1));
    if (!form.Given(size)) form.Refuse(size, Msg::kErrRequired);
    item.piece = form.SizeOf(size);
    if (!form.Given(qty)) form.Refuse(qty, Msg::kErrRequired);
    item.quantity = form.CountOf(qty);
    if (form.Given(bleed)) item.bleed = form.LengthOf(bleed);
    item.grain = static_cast<layout::Grain>(form.ChoiceOf(RowKey("jgrain", row), kGrains));
    request.items.push_back(std::move(item));
    item_rows.push_back(row);
  }
  if (request.items.empty()) form.Refuse(RowKey("job", 0), Msg::kErrNoJobs);

  // Counts beyond an int's range are kept out of range, for the planner to refuse.
  if (form.Given("max_layouts")) {
    request.max_layouts = static_cast<int>(
        std::clamp<std::int64_t>(form.CountOf("max_layouts"), 0, layout::gang::kMaxLayouts + 1));
  }
  if (form.Given("makeready")) request.makeready = form.CountOf("makeready");
  if (form.Given("setup_sheets")) request.setup_sheets = form.NumberOf("setup_sheets");
  if (form.Given("overs")) request.overs_percent = form.NumberOf("overs");
  if (form.Given("parent") || form.Given("grammage") || form.Given("price")) {
    layout::gang::GangPaper& paper = request.paper.emplace();
    if (form.Given("parent")) paper.parent = form.SizeOf("parent");
    if (form.Given("grammage")) paper.grammage = form.NumberOf("grammage");
    const std::size_t per = form.ChoiceOf("price_per", kPricePer);
    if (form.Given("price")) {
      paper.price = layout::Price{.per = static_cast<layout::PricePer>(per),
                                  .amount = form.NumberOf("price")};
    }
  }
  return request;
}

/// The form field that the planner's field path ("items[2].width", "paper.parent.length")
/// belongs to, or "".
std::string FormKeyOf(std::string_view path, const std::vector<std::size_t>& item_rows) {
  if (path.starts_with("items[")) {
    std::size_t index = 0;
    const char* digits = path.data() + 6;
    const auto [end, error] = std::from_chars(digits, path.data() + path.size(), index);
    const std::size_t row = error == std::errc() && index < item_rows.size() ? item_rows[index] : 0;
    std::string_view member = path.substr(static_cast<std::size_t>(end - path.data()));
    if (member.starts_with("].")) member.remove_prefix(2);
    member = member.substr(0, member.find('.'));
    if (member == "id") return RowKey("job", row);
    if (member == "quantity") return RowKey("qty", row);
    if (member == "bleed") return RowKey("jbleed", row);
    if (member == "grain") return RowKey("jgrain", row);
    return RowKey("size", row);
  }
  if (path == "items") return RowKey("job", 0);
  for (const std::string_view prefix : {"margins.", "paper."}) {
    if (path.starts_with(prefix)) path.remove_prefix(prefix.size());
  }
  path = path.substr(0, path.find('.'));
  if (path == "overs_percent") return "overs";
  for (const Field& field : GangFields()) {
    if (field.name == path) return std::string(path);
  }
  return "";
}

/// The typed fields as a query string, for the SVG and PDF links: the rows left blank out.
std::string QueryString(const ParsedGang& form) {
  std::string query;
  for (const Field& field : GangFields()) {
    const std::string& value = form.typed.find(field.name)->second;
    if (!value.empty()) AppendQueryField(query, field.name, value);
  }
  for (const std::size_t row : form.item_rows) {
    for (const Field& field : kRowFields) {
      const auto value = form.typed.find(RowKey(field.name, row));
      AppendQueryField(query, field.name,
                       value == form.typed.end() ? std::string_view() : value->second);
    }
  }
  return query;
}

constexpr std::string_view kStyle = R"(#gang-form{flex:0 0 36em}
#jobs{width:100%;border-collapse:collapse;table-layout:fixed}
#jobs th{font-weight:normal;color:#555;text-align:left;font-size:.85em;padding:0 .15em}
#jobs td{padding:.1em .15em}
#jobs input,#jobs select{width:100%;box-sizing:border-box;font:inherit}
#jobs .n{width:1.6em;color:#666;font-size:.85em;text-align:right}
#jobs th:nth-child(2){width:28%}
#jobs th:nth-child(3){width:24%}
#jobs th:nth-child(4){width:17%}
#jobs th:nth-child(5){width:11%}
#add-row{margin:.3em 0;padding:.2em 1em}
#result.gang{display:block}
.overview{display:flex;flex-wrap:wrap;gap:1.2em;align-items:flex-start;margin:.4em 0 .8em}
.overview #figures{flex:0 0 24em}
#job-table{border-collapse:collapse;background:#fff;border:1px solid #ccd}
#job-table th,#job-table td{padding:.15em .6em;border-bottom:1px dotted #ccd;text-align:right}
#job-table th:first-child,#job-table td:first-child{text-align:left}
.swatch{display:inline-block;width:1.1em;height:.8em;border:1px solid #333;margin-right:.4em;vertical-align:-.05em}
.layout{display:grid;grid-template-columns:minmax(0,1fr) 21em;gap:.4em 1.2em;background:#fff;border:1px solid #ccd;padding:.4em .8em;margin:0 0 .8em}
.layout h2{grid-column:1/-1;font-size:1.05em;margin:0}
.layout figure{margin:0}
.layout svg{display:block;width:100%;height:auto;max-height:72vh}
.layout dl{margin:0}
.layout dl div{display:flex;justify-content:space-between;gap:1em;border-bottom:1px dotted #ccd}
.layout dt{color:#555}
.layout dd{margin:0;font-weight:bold}
.layout h3{font-size:1em;margin:.4em 0 .2em}
.layout .cuts{margin:0;padding-left:2.6em;font-size:.92em;max-height:40vh;overflow:auto}
@media screen and (max-width:1280px){.layout{grid-template-columns:minmax(0,1fr)}}
@media print{.layout{break-inside:avoid;border:0}.layout .cuts{max-height:none;overflow:visible;columns:3;font-size:6.5pt}}
)";

// The add-row button works with script only, so without script it stays hidden; the table
// already offers a dozen rows. A new row copies the last one, emptied.
constexpr std::string_view kScript = R"(<script>
(function () {
  var button = document.getElementById('add-row');
  var body = document.querySelector('#jobs tbody');
  button.hidden = false;
  button.addEventListener('click', function () {
    var rows = body.querySelectorAll('tr.job');
    var row = rows[rows.length - 1].cloneNode(true);
    var n = rows.length;
    row.querySelector('.n').textContent = String(n + 1);
    row.querySelectorAll('input, select').forEach(function (field) {
      field.id = field.id.replace(/-\d+$/, '-' + n);
      field.removeAttribute('aria-invalid');
      field.removeAttribute('aria-describedby');
      if (field.tagName === 'SELECT') field.selectedIndex = 0; else field.value = '';
    });
    body.appendChild(row);
    row.querySelector('input').focus();
  });
})();
</script>
)";

void AppendJobsTable(std::string& html, const ParsedGang& form, const Locale& locale) {
  html.append("<fieldset><legend>").append(locale[kGroups[1]]).append("</legend>\n");
  html.append("<table id=\"jobs\">\n<thead><tr><th class=\"n\"><span class=\"sr-only\">")
      .append(locale[Msg::kRowNumber])
      .append("</span></th>");
  for (const Field& field : kRowFields) {
    html.append("<th id=\"h-").append(field.name).append("\">").append(locale[field.label]);
    if (field.kind == Kind::kSize || field.kind == Kind::kLength) {
      html.append(" (<span data-unit>").append(locale.UnitName()).append("</span>)");
    }
    html += "</th>";
  }
  html += "</tr></thead>\n<tbody>\n";
  const std::size_t rows = std::max(form.rows, kGangMinRows);
  for (std::size_t row = 0; row < rows; ++row) {
    html += "<tr class=\"job\"><td class=\"n\">" + std::to_string(row + 1) + "</td>";
    bool invalid_row = false;
    for (const Field& field : kRowFields) {
      const std::string key = RowKey(field.name, row);
      const auto typed = form.typed.find(key);
      const bool invalid = form.error && form.error->field == key;
      invalid_row = invalid_row || invalid;
      html += "<td>";
      AppendInput(html, field, key, typed == form.typed.end() ? std::string_view() : typed->second,
                  invalid, locale, " aria-labelledby=\"h-" + std::string(field.name) + "\"");
      html += "</td>";
    }
    html += "</tr>\n";
    if (invalid_row) {
      html += "<tr class=\"error-row\"><td></td><td colspan=\"5\">";
      AppendError(html, *form.error, locale);
      html += "</td></tr>\n";
    }
  }
  html.append("</tbody>\n</table>\n<button type=\"button\" id=\"add-row\" hidden>")
      .append(locale[Msg::kAddRow])
      .append("</button>\n</fieldset>\n");
}

void AppendForm(std::string& html, const ParsedGang& form, const Locale& locale) {
  html += "<form id=\"gang-form\" action=\"/gang\" method=\"get\">\n";
  html.append("<input type=\"hidden\" name=\"lang\" value=\"")
      .append(locale.language().code)
      .append("\">\n");
  if (form.error && form.error->field.empty()) AppendError(html, *form.error, locale);
  const std::span<const Field> fields = GangFields();
  const auto first_after = std::find_if(fields.begin(), fields.end(),
                                        [](const Field& field) { return field.group > 0; });
  const auto before = static_cast<std::size_t>(first_after - fields.begin());
  html.append("<fieldset><legend>").append(locale[kGroups[0]]).append("</legend>\n");
  AppendFieldRows(html, fields.first(before), form.typed, form.error, locale);
  html += "</fieldset>\n";
  AppendJobsTable(html, form, locale);
  html.append("<fieldset><legend>").append(locale[kGroups[2]]).append("</legend>\n");
  AppendFieldRows(html, fields.subspan(before), form.typed, form.error, locale);
  html.append("</fieldset>\n<button type=\"submit\">")
      .append(locale[Msg::kSubmit])
      .append("</button>\n</form>\n");
  AppendPresetLists(html, locale);
}

void AppendResult(std::string& html, const ParsedGang& form, const GangAnswer& answer,
                  const Locale& locale) {
  const GangRequest& request = *form.request;
  std::string query = QueryString(form);
  AppendQueryField(query, "lang", locale.language().code);
  query = EscapeHtmlAttribute(query);
  html += "<section id=\"result\" class=\"gang\" tabindex=\"-1\">\n<p class=\"summary\">" +
          EscapeHtmlAttribute(GangSummary(request, locale)) + "</p>\n<div class=\"overview\">\n";
  AppendFigures(html, GangFigures(answer, locale), "id=\"figures\"", "id", answer.proof);

  const TextTable jobs = JobsTable(request, answer, locale);
  html += "<table id=\"job-table\"><thead><tr>";
  for (const std::string& head : jobs.head) html += "<th scope=\"col\">" + head + "</th>";
  html += "</tr></thead>\n<tbody>\n";
  constexpr std::string_view kCells[] = {"name", "size", "quantity", "produced", "overs"};
  for (std::size_t i = 0; i < jobs.rows.size(); ++i) {
    html += "<tr data-item=\"" + std::to_string(i) + "\">";
    for (std::size_t c = 0; c < jobs.rows[i].size(); ++c) {
      html.append("<td class=\"").append(kCells[c]).append("\">");
      if (c == 0) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06x", JobColour(i));
        html.append("<span class=\"swatch\" style=\"background:").append(colour);
        html += "\"></span>";
      }
      html.append(EscapeHtmlAttribute(jobs.rows[i][c])).append("</td>");
    }
    html += "</tr>\n";
  }
  html += "</tbody></table>\n</div>\n";

  for (std::size_t i = 0; i < answer.layouts.size(); ++i) {
    const layout::gang::GangLayout& layout = answer.layouts[i];
    const std::string number = std::to_string(i + 1);
    html += "<section class=\"layout\" id=\"layout-" + number + "\">\n<h2>" +
            LayoutTitle(layout, i + 1, locale) + "</h2>\n<figure class=\"drawing\">\n" +
            GangSvg(request, answer, i + 1, locale, false) + "</figure>\n<div>\n";
    AppendFigures(html, LayoutFigures(layout, locale), "class=\"layout-figures\"", "class",
                  answer.proof);
    html.append("<h3>").append(locale[Msg::kCutList]).append("</h3>\n");
    const std::vector<std::string> steps = LayoutCutSteps(layout, locale);
    if (steps.empty()) {
      html += "<p class=\"note\">" + LayoutNoCutsNote(request, layout, locale) + "</p>\n";
    } else {
      // Focusable, so the keyboard can scroll a long list.
      html += "<ol class=\"cuts\" tabindex=\"0\">\n";
      for (const std::string& step : steps) html += "<li>" + step + "</li>\n";
      html += "</ol>\n";
    }
    html.append("<p class=\"links\"><a href=\"/gang.svg")
        .append(query)
        .append("&amp;layout=")
        .append(number)
        .append("\">")
        .append(locale[Msg::kSvgLink])
        .append("</a></p>\n</div>\n</section>\n");
  }
  html.append("<p class=\"links\"><a href=\"/gang.pdf")
      .append(query)
      .append("\">")
      .append(locale[Msg::kGangPdfLink])
      .append("</a></p>\n</section>\n");
}

/// The plan of a request, cancelled when the client goes away.
GangAnswer PlanFor(const GangRequest& request, const AppRequest& app) {
  return layout::gang::Plan(request, app.stop);
}

}  // namespace

ParsedGang ParseGangQuery(const Query& query, std::string_view accept_language) {
  ParsedGang form;
  for (const Field& field : GangFields()) form.typed.emplace(field.name, "");
  std::string_view lang;
  bool lang_seen = false;
  Query fields;
  for (const auto& field : query) {
    if (field.first != "lang") {
      fields.push_back(field);
    } else if (!lang_seen) {
      lang = field.second;
      lang_seen = true;
    }
  }
  form.language = &ChooseLanguage(lang, accept_language);
  if (fields.empty()) fields = ExampleQuery(Locale(*form.language, Unit::kMm));
  // A row starts at its "job" field, or at a field its row already has: a form sends every
  // field of every row, a hand-written address may leave some out.
  std::set<std::string_view> seen, in_row;
  for (const auto& [name, value] : fields) {
    if (const Field* row_field = FindRowField(name)) {
      if (row_field->name == "job" || !in_row.insert(row_field->name).second || form.rows == 0) {
        ++form.rows;
        in_row = {row_field->name};
      }
      form.typed[RowKey(name, form.rows - 1)] = value;
      continue;
    }
    const auto field = form.typed.find(name);
    if (field != form.typed.end() && seen.insert(field->first).second) field->second = value;
  }
  form.unit = UnitOf(form.typed);
  FormReader reader(form.typed);
  GangRequest request = ReadGang(reader, form.rows, form.item_rows);
  if (reader.error()) {
    form.error = reader.error();
  } else if (const auto refused = layout::gang::Validate(request)) {
    form.error = Refusal(*refused, FormKeyOf(refused->field, form.item_rows));
  } else {
    form.request = std::move(request);
  }
  return form;
}

std::string GangPage(const ParsedGang& form, const GangAnswer* answer) {
  const Locale locale = form.locale();
  const bool result = answer != nullptr && form.request;
  const std::string nav = "<a href=\"/plan?lang=" + std::string(locale.language().code) + "\">" +
                          std::string(locale[Msg::kPlanLink]) +
                          "</a><a href=\"/\" hreflang=\"zh\">" +
                          std::string(locale[Msg::kClassicLink]) + "</a>" +
                          LanguageLinks("/gang", QueryString(form), locale);
  std::string html;
  AppendPageHead(html, locale, locale[Msg::kGangTitle], nav, kStyle, result ? "result" : "");
  AppendForm(html, form, locale);
  if (result) AppendResult(html, form, *answer, locale);
  html += "</main>\n";
  html += kScript;
  html += "</body>\n</html>\n";
  return html;
}

AppAnswer ServeGangPage(const AppRequest& request) {
  const ParsedGang form = ParseGangQuery(request.query, request.accept_language);
  if (!form.request) {
    return {.status = 400,
            .content_type = std::string(kHtmlType),
            .body = GangPage(form, nullptr),
            .headers = LanguageHeaders(form.locale())};
  }
  const GangAnswer answer = PlanFor(*form.request, request);
  return {.content_type = std::string(kHtmlType),
          .body = GangPage(form, &answer),
          .headers = LanguageHeaders(form.locale())};
}

AppAnswer ServeGangSvg(const AppRequest& request) {
  const ParsedGang form = ParseGangQuery(request.query, request.accept_language);
  if (!form.request) return RefusedFile(*form.error, form.locale());
  // The layout to draw, counted from 1: the first unless the query names another.
  std::size_t number = 1;
  const auto asked = std::find_if(request.query.begin(), request.query.end(),
                                  [](const auto& field) { return field.first == "layout"; });
  if (asked != request.query.end()) {
    const std::string_view text = Trim(asked->second);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) number = 0;
  }
  const GangAnswer answer = PlanFor(*form.request, request);
  if (number < 1 || number > answer.layouts.size()) {
    return RefusedFile({"layout", Msg::kErrNoSuchLayout}, form.locale());
  }
  return {.content_type = "image/svg+xml; charset=utf-8",
          .body = GangSvg(*form.request, answer, number, form.locale(), true),
          .headers = LanguageHeaders(form.locale())};
}

AppAnswer ServeGangPdf(const AppRequest& request) {
  const ParsedGang form = ParseGangQuery(request.query, request.accept_language);
  if (!form.request) return RefusedFile(*form.error, form.locale());
  std::vector<std::pair<std::string, std::string>> headers = LanguageHeaders(form.locale());
  headers.emplace_back("Content-Disposition", "inline; filename=\"gang.pdf\"");
  return {.content_type = "application/pdf",
          .body = GangPdf(*form.request, PlanFor(*form.request, request), form.locale()),
          .headers = std::move(headers)};
}

}  // namespace sheetora::planner
