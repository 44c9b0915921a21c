#include "pages/planner/planner.h"

#include <cctype>
#include <charconv>
#include <cmath>
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

enum class Kind { kSize, kLength, kChoice, kCount, kNumber };

struct Choice {
  std::string_view value, label;
};

constexpr Choice kUnits[] = {{"mm", "毫米"}, {"in", "英寸"}};
constexpr Choice kGrains[] = {
    {"any", "不限"}, {"length", "成品长边顺纸张长边"}, {"width", "成品长边顺纸张短边"}};
constexpr Choice kCuts[] = {{"guillotine", "直刀裁切"}, {"die", "模切"}};
constexpr Choice kPricePer[] = {
    {"tonne", "元/吨"}, {"ream", "元/令"}, {"sheet", "元/张"}, {"m2", "元/平方米"}};

/// One field of the form: what it reads and how the page shows it. A choice's first option is
/// its default.
struct Field {
  std::string_view name;
  std::string_view label;
  Kind kind;
  std::string_view suffix = "";  ///< after the input; "" for lengths, which take the unit
  std::string_view placeholder = "";
  std::span<const Choice> choices = {};
  int group = 0;
  bool same_row = false;  ///< drawn in the row of the field before it
};

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

const Field* FindField(std::string_view name) {
  for (const Field& field : kFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/// Decimal text: blanks around it, an optional sign, an optional exponent; nothing else.
std::optional<double> Number(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Past this a length or count is no print job, and converting it could overflow.
constexpr double kLargest = 1e12;

/// Reads the typed fields. The first field found wrong is kept as the error; reads after it
/// answer 0, so a request can be read to the end and the error checked once.
class FormReader {
 public:
  explicit FormReader(const ParsedForm& form)
      : form_(form), micrometres_per_unit_(Text("unit") == "in" ? 25400 : 1000) {}

  const std::optional<FormError>& error() const { return error_; }

  std::string_view Text(std::string_view name) const {
    return Trim(form_.typed.find(name)->second);
  }
  bool Given(std::string_view name) const { return !Text(name).empty(); }

  double NumberOf(std::string_view name) {
    const std::optional<double> value = Number(Text(name));
    if (!value) {
      Refuse(name, "请填写数字");
    } else if (std::fabs(*value) > kLargest) {
      Refuse(name, "数值过大");
    } else {
      return *value;
    }
    return 0;
  }

  std::int64_t CountOf(std::string_view name) {
    const double value = NumberOf(name);
    if (value == std::floor(value)) return static_cast<std::int64_t>(value);
    Refuse(name, "请填写整数");
    return 0;
  }

  Micrometres LengthOf(std::string_view name) {
    return std::llround(NumberOf(name) * micrometres_per_unit_);
  }

  /// "LxW": x, X, * or × between the two lengths, blanks allowed.
  layout::Size SizeOf(std::string_view name) {
    const std::string_view text = Text(name);
    for (const std::string_view separator : {"x", "X", "*", "×"}) {
      const auto at = text.find(separator);
      if (at == std::string_view::npos) continue;
      const std::optional<double> length = Number(text.substr(0, at));
      const std::optional<double> width = Number(text.substr(at + separator.size()));
      if (!length || !width) break;
      if (std::fabs(*length) > kLargest || std::fabs(*width) > kLargest) {
        Refuse(name, "数值过大");
        return {};
      }
      return {std::llround(*length * micrometres_per_unit_),
              std::llround(*width * micrometres_per_unit_)};
    }
    Refuse(name, "请按“长x宽”填写，如 1092x787");
    return {};
  }

  /// The index of the chosen option; an empty field takes the first.
  std::size_t ChoiceOf(std::string_view name) {
    const Field& field = *FindField(name);
    if (!Given(name)) return 0;
    for (std::size_t i = 0; i < field.choices.size(); ++i) {
      if (field.choices[i].value == Text(name)) return i;
    }
    Refuse(name, "没有这个选项");
    return 0;
  }

  /// Keeps the first error.
  void Refuse(std::string_view name, std::string_view message) {
    if (!error_) error_ = FormError{std::string(name), std::string(message)};
  }

 private:
  const ParsedForm& form_;
  double micrometres_per_unit_;
  std::optional<FormError> error_;
};

layout::Request ReadRequest(FormReader& form) {
  layout::Request request;
  for (const std::string_view required : {"sheet", "piece"}) {
    if (!form.Given(required)) form.Refuse(required, "必填");
  }
  request.sheet = form.SizeOf("sheet");
  request.piece = form.SizeOf("piece");
  form.ChoiceOf("unit");
  if (form.Given("bleed")) request.bleed = form.LengthOf("bleed");
  if (form.Given("gutter")) request.gutter = form.LengthOf("gutter");
  if (form.Given("gripper")) request.margins.gripper = form.LengthOf("gripper");
  if (form.Given("tail")) request.margins.tail = form.LengthOf("tail");
  if (form.Given("left")) request.margins.left = form.LengthOf("left");
  if (form.Given("right")) request.margins.right = form.LengthOf("right");
  request.grain = static_cast<layout::Grain>(form.ChoiceOf("grain"));
  request.cut = static_cast<layout::CutMode>(form.ChoiceOf("cut"));

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
  const std::size_t per = form.ChoiceOf("price_per");
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
  return FindField(path) != nullptr ? std::string(path) : "";
}

/// The typed fields as a query string, for the SVG and PDF links.
std::string QueryString(const ParsedForm& form) {
  std::string query;
  for (const Field& field : kFields) {
    const std::string& value = form.typed.find(field.name)->second;
    if (value.empty()) continue;
    query += query.empty() ? "?" : "&";
    query += field.name;
    query += '=';
    for (const unsigned char c : value) {
      if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
        query += static_cast<char>(c);
      } else {
        constexpr char kHex[] = "0123456789ABCDEF";
        query += {'%', kHex[c >> 4], kHex[c & 15]};
      }
    }
  }
  return query;
}

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>拼版计划</title>
<style>
body{margin:0;font:14px/1.5 "WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;color:#222;background:#f4f6f8}
header{display:flex;justify-content:space-between;align-items:center;padding:.4em 1em;background:#2f4f6f;color:#fff}
header h1{margin:0;font-size:1.2em}
header a{color:#fff}
main{display:flex;gap:1.2em;padding:1em;align-items:flex-start}
form{flex:0 0 21em;background:#fff;padding:.6em .8em;border:1px solid #ccd}
fieldset{border:1px solid #dde;margin:0 0 .6em;padding:.3em .6em}
legend{font-weight:bold}
.row{display:grid;grid-template-columns:5.5em 1fr auto;gap:.1em .4em;align-items:center;margin:.25em 0}
.row input,.row select{width:100%;box-sizing:border-box;font:inherit}
.row .pair{display:flex;gap:.3em}
[aria-invalid=true]{border:2px solid #b00020}
.error{grid-column:1/-1;margin:0;color:#b00020;font-weight:bold}
button{font:inherit;padding:.3em 2em}
#result{flex:1;min-width:0;display:grid;grid-template-columns:minmax(0,1fr) 22em;grid-template-rows:auto auto 1fr;grid-template-areas:"summary summary" "drawing figures" "drawing list";gap:.4em 1.2em;align-items:start}
.summary{grid-area:summary;margin:0;color:#555}
#drawing{grid-area:drawing;margin:0;background:#fff;border:1px solid #ccd;padding:.4em}
#drawing svg{display:block;width:100%;height:auto;max-height:78vh}
#figures{grid-area:figures;margin:0;background:#fff;border:1px solid #ccd;padding:.4em .8em}
#figures div{display:flex;justify-content:space-between;gap:1em;border-bottom:1px dotted #ccd}
#figures dt{color:#555;white-space:nowrap}
#figures dd{margin:0;font-weight:bold;text-align:right}
#figures #ups{font-size:1.6em;color:#2a5d8f}
#cut-list{grid-area:list}
#cut-list h2{font-size:1em;margin:.2em 0}
#cuts{margin:0;padding-left:2.6em;font-size:.92em;max-height:40vh;overflow:auto;background:#fff;border:1px solid #ccd}
.links a{margin-right:1em}
@media screen and (max-width:1280px){
#result{grid-template-columns:minmax(0,1fr);grid-template-rows:none;grid-template-areas:"summary" "figures" "drawing" "list"}
}
@page{size:A4 landscape;margin:8mm}
@media print{
body{background:#fff;font-size:9pt}
header,form,.links{display:none}
main{display:block;padding:0}
#result{grid-template-columns:minmax(0,1.6fr) minmax(0,1fr);grid-template-rows:auto;grid-template-areas:"summary summary" "drawing figures" "list list";gap:1mm 5mm}
#drawing,#figures,#cuts{border:0;padding:0}
#drawing svg{max-height:108mm}
#cuts{max-height:none;overflow:visible;font-size:6.5pt;line-height:1.25;columns:4;column-gap:5mm;padding-left:0;list-style-position:inside}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
}
</style>
</head>
<body>
<header><h1>拼版计划</h1><nav><a href="/">经典计算器</a></nav></header>
<main>
)";

void AppendError(std::string& html, const FormError& error) {
  html += "<p id=\"error\" class=\"error\" role=\"alert\">";
  html += EscapeHtmlAttribute(error.message);
  html += "</p>\n";
}

void AppendInput(std::string& html, const ParsedForm& form, const Field& field, bool invalid) {
  const std::string& typed = form.typed.find(field.name)->second;
  const std::string id = "f-" + std::string(field.name);
  if (field.kind == Kind::kChoice) {
    html += "<select id=\"" + id + "\" name=\"" + std::string(field.name) + "\">";
    for (const Choice& choice : field.choices) {
      html += "<option value=\"" + std::string(choice.value) + "\"";
      if (choice.value == Trim(typed)) html += " selected";
      html.append(">").append(choice.label).append("</option>");
    }
    html += "</select>";
    return;
  }
  html += "<input id=\"" + id + "\" name=\"" + std::string(field.name) + "\" value=\"";
  html += EscapeHtmlAttribute(typed);
  html += "\" placeholder=\"" + std::string(field.placeholder) + "\"";
  if (field.kind != Kind::kSize) html += " inputmode=\"decimal\"";
  if (invalid) html += " aria-invalid=\"true\" aria-describedby=\"error\"";
  html += ">";
}

void AppendForm(std::string& html, const ParsedForm& form) {
  const std::string_view unit = Trim(form.typed.find("unit")->second) == "in" ? "in" : "mm";
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
    AppendInput(html, form, field, invalid);
    if (joined) {
      AppendInput(html, form, kFields[i + 1],
                  form.error && form.error->field == kFields[i + 1].name);
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
  FormReader reader(form);
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
  std::string html(kHead);
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
