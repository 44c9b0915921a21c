#include "pages/planner/planner.h"

#include <set>
#include <span>

#include "layout/json.h"
#include "layout/plan.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/plan_view.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

using layout::Micrometres;

constexpr std::string_view kGroups[] = {"纸张与成品", "版面", "印件（选填）"};

constexpr Field kFields[] = {
    {"sheet", "上机纸尺寸", Kind::kSize, "", "1092x787"},
    {"piece", "成品尺寸", Kind::kSize, "", "210x140"},
    {"unit", "单位", Kind::kChoice, "", "", kUnits},
    {"bleed", "出血", Kind::kLength, "", "0", {}, 1},
    {"gutter", "成品间距", Kind::kLength, "", "0", {}, 1},
    {"gripper", "咬口", Kind::kLength, "", "0", {}, 1},
    {"tail", "拖梢", Kind::kLength, "", "0", {}, 1},
    {"left", "左边空", Kind::kLength, "", "0", {}, 1},
    {"right", "右边空", Kind::kLength, "", "0", {}, 1},
    {"grain", "纸纹", Kind::kChoice, "", "", kGrains, 1},
    {"cut", "切法", Kind::kChoice, "", "", kCuts, 1},
    {"quantity", "印数", Kind::kCount, "件", "", {}, 2},
    {"overs", "加放", Kind::kNumber, "%", "0", {}, 2},
    {"makeready", "校版纸", Kind::kCount, "张", "0", {}, 2},
    {"parent", "全张尺寸", Kind::kSize, "", "同上机纸", {}, 2},
    {"grammage", "克重", Kind::kNumber, "g/m²", "", {}, 2},
    {"price", "纸价", Kind::kNumber, "", "", {}, 2},
    {"price_per", "计价", Kind::kChoice, "", "", kPricePer, 2, true},
};

layout::Request ReadRequest(FormReader& form) {
  layout::Request request;
  for (const std::string_view required : {"sheet", "piece"}) {
    if (!form.Given(required)) form.Refuse(required, "必填");
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

  bool job_given = false;
  for (const std::string_view name :
       {"quantity", "overs", "makeready", "parent", "grammage", "price"}) {
    job_given = job_given || form.Given(name);
  }
  if (!job_given) return request;
  if (!form.Given("quantity")) form.Refuse("quantity", "计算印件用纸需要填写印数");
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
  for (const std::string_view prefix : {"job.", "margins."}) {
    if (path.starts_with(prefix)) path.remove_prefix(prefix.size());
  }
  path = path.substr(0, path.find('.'));
  if (path == "job") return "quantity";
  return FindPlannerField(path) != nullptr ? std::string(path) : "";
}

/// The typed fields as a query string, for the SVG and PDF links.
std::string QueryString(const ParsedForm& form) {
  std::string query;
  for (const Field& field : kFields) {
    const std::string& value = form.typed.find(field.name)->second;
    if (!value.empty()) AppendQueryField(query, field.name, value);
  }
  return query;
}

void AppendForm(std::string& html, const ParsedForm& form) {
  const std::string_view unit = UnitOf(form.typed);
  html += "<form id=\"plan-form\" action=\"/plan\" method=\"get\">\n";
  if (form.error && form.error->field.empty()) AppendError(html, *form.error);
  int group = -1;
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const Field& field = kFields[i];
    if (field.group != group) {
      if (group >= 0) html += "</fieldset>\n";
      group = field.group;
      html += "<fieldset><legend>" + std::string(kGroups[group]) + "</legend>\n";
    }
    if (field.same_row) continue;  // drawn with the field before it
    const bool joined = i + 1 < std::size(kFields) && kFields[i + 1].same_row;
    const bool invalid = form.error && form.error->field == field.name;
    html += "<div class=\"row\"><label for=\"f-" + std::string(field.name) + "\">" +
            std::string(field.label) + "</label>";
    if (joined) html += "<span class=\"pair\">";
    AppendInput(html, field, field.name, form.typed.find(field.name)->second, invalid);
    if (joined) {
      const Field& next = kFields[i + 1];
      AppendInput(html, next, next.name, form.typed.find(next.name)->second,
                  form.error && form.error->field == next.name);
      html += "</span>";
    }
    const bool length = field.kind == Kind::kSize || field.kind == Kind::kLength;
    html += "<span class=\"suffix\">" + std::string(length ? unit : field.suffix) + "</span>\n";
    if (form.error && (invalid || (joined && form.error->field == kFields[i + 1].name))) {
      AppendError(html, *form.error);
    }
    html += "</div>\n";
  }
  html += "</fieldset>\n<button type=\"submit\">计算</button>\n</form>\n";
}

void AppendResult(std::string& html, const ParsedForm& form, const layout::Answer& answer) {
  const layout::Request& request = *form.request;
  html += "<section id=\"result\">\n<p class=\"summary\">" + RequestSummary(request) + "</p>\n";
  html += "<figure id=\"drawing\">\n" + PlanSvg(request, answer, false) + "</figure>\n";
  html += "<dl id=\"figures\">\n";
  for (const Figure& figure : Figures(answer)) {
    html +=
        "<div><dt>" + std::string(figure.label) + "</dt><dd id=\"" + std::string(figure.id) + "\"";
    if (figure.id == "proof")
      html += " data-proof=\"" + std::string(layout::ProofName(answer.proof)) + "\"";
    html += ">";
    html += EscapeHtmlAttribute(figure.value);
    html += "</dd></div>\n";
  }
  html += "</dl>\n<section id=\"cut-list\"><h2>裁切顺序</h2>\n";
  const std::vector<std::string> steps =
      answer.cuts ? CutSteps(*answer.cuts) : std::vector<std::string>{};
  if (steps.empty()) {
    html += "<p class=\"note\">" + std::string(NoCutsNote(request, answer)) + "</p>\n";
  } else {
    html += "<ol id=\"cuts\">\n";
    for (const std::string& step : steps) html += "<li>" + step + "</li>\n";
    html += "</ol>\n";
  }
  const std::string query = EscapeHtmlAttribute(QueryString(form));
  html += "<p class=\"links\"><a href=\"/plan.pdf" + query +
          "\">打印裁切单（PDF）</a><a href=\"/plan.svg" + query +
          "\">排版图（SVG）</a></p>\n</section>\n</section>\n";
}

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kText = "text/plain; charset=utf-8";

/// The answer for a form that cannot be planned, for the SVG and the PDF.
AppAnswer Refused(const FormError& error) {
  return {.status = 400,
          .content_type = std::string(kText),
          .body = (error.field.empty() ? "" : error.field + ": ") + error.message + "\n"};
}

}  // namespace

const Field* FindPlannerField(std::string_view name) {
  for (const Field& field : kFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

ParsedForm ParsePlannerQuery(const Query& query) {
  ParsedForm form;
  for (const Field& field : kFields) form.typed.emplace(field.name, "");
  if (query.empty()) {
    form.typed["sheet"] = "1092x787";
    form.typed["piece"] = "210x140";
  }
  std::set<std::string_view> seen;
  for (const auto& [name, value] : query) {
    const auto field = form.typed.find(name);
    if (field != form.typed.end() && seen.insert(field->first).second) field->second = value;
  }
  FormReader reader(form.typed);
  const layout::Request request = ReadRequest(reader);
  if (reader.error()) {
    form.error = reader.error();
  } else if (const auto refused = layout::Validate(request)) {
    form.error = FormError{FormFieldOf(refused->field), refused->message};
  } else {
    form.request = request;
  }
  return form;
}

std::string PlannerPage(const ParsedForm& form, const layout::Answer* answer) {
  std::string html;
  AppendPageHead(html, "拼版计划", "<a href=\"/\">经典计算器</a>");
  AppendForm(html, form);
  if (answer != nullptr && form.request) AppendResult(html, form, *answer);
  html += "</main>\n</body>\n</html>\n";
  return html;
}

AppAnswer ServePlanPage(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query);
  if (!form.request) {
    return {.status = 400, .content_type = std::string(kHtml), .body = PlannerPage(form, nullptr)};
  }
  const layout::Answer answer = layout::Plan(*form.request);
  return {.content_type = std::string(kHtml), .body = PlannerPage(form, &answer)};
}

AppAnswer ServePlanSvg(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query);
  if (!form.request) return Refused(*form.error);
  return {.content_type = "image/svg+xml; charset=utf-8",
          .body = PlanSvg(*form.request, layout::Plan(*form.request), true)};
}

AppAnswer ServePlanPdf(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query);
  if (!form.request) return Refused(*form.error);
  return {.content_type = "application/pdf",
          .body = PlanPdf(*form.request, layout::Plan(*form.request)),
          .headers = {{"Content-Disposition", "inline; filename=\"plan.pdf\""}}};
}

}  // namespace sheetora::planner
