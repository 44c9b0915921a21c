#include "pages/planner/planner.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>
#include <span>

#include "layout/json.h"
#include "layout/plan.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_svg.h"
#include "pages/planner/plan_view.h"
#include "pages/planner/presets.h"
#include "pages/planner/units.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

using layout::Micrometres;

enum class Kind { kSize, kLength, kChoice, kCount, kNumber };

struct Choice {
  std::string_view value;
  Msg label;
};

constexpr Choice kUnits[] = {{"mm", Msg::kUnitMm}, {"in", Msg::kUnitIn}};
constexpr Choice kGrains[] = {
    {"any", Msg::kGrainAny}, {"length", Msg::kGrainLength}, {"width", Msg::kGrainWidth}};
constexpr Choice kCuts[] = {{"guillotine", Msg::kCutGuillotine}, {"die", Msg::kCutDie}};
constexpr Choice kPricePer[] = {{"tonne", Msg::kPerTonne},
                                {"ream", Msg::kPerReam},
                                {"sheet", Msg::kPerSheet},
                                {"m2", Msg::kPerSquareMetre}};

constexpr Msg kNone = Msg::kCount;

/// One field of the form: what it reads and how the page shows it. A choice's first option is
/// its default.
struct Field {
  std::string_view name;
  Msg label;
  Kind kind;
  std::string_view suffix = "";  ///< after the input; "" for lengths, which take the unit
  Msg suffix_word = kNone;       ///< a suffix in words instead
  std::string_view placeholder = "";
  std::span<const Choice> choices = {};
  int group = 0;
  bool same_row = false;  ///< drawn in the row of the field before it
  std::optional<PresetKind> presets = std::nullopt;
};

constexpr Msg kGroups[] = {Msg::kGroupSheet, Msg::kGroupLayout, Msg::kGroupJob};

constexpr Field kFields[] = {
    {"sheet", Msg::kSheet, Kind::kSize, "", kNone, "1092x787", {}, 0, false, PresetKind::kSheet},
    {"piece", Msg::kPiece, Kind::kSize, "", kNone, "210x140", {}, 0, false, PresetKind::kPiece},
    {"unit", Msg::kUnit, Kind::kChoice, "", kNone, "", kUnits},
    {"bleed", Msg::kBleed, Kind::kLength, "", kNone, "0", {}, 1},
    {"gutter", Msg::kGutter, Kind::kLength, "", kNone, "0", {}, 1},
    {"gripper", Msg::kGripper, Kind::kLength, "", kNone, "0", {}, 1},
    {"tail", Msg::kTail, Kind::kLength, "", kNone, "0", {}, 1},
    {"left", Msg::kLeft, Kind::kLength, "", kNone, "0", {}, 1},
    {"right", Msg::kRight, Kind::kLength, "", kNone, "0", {}, 1},
    {"grain", Msg::kGrain, Kind::kChoice, "", kNone, "", kGrains, 1},
    {"cut", Msg::kCut, Kind::kChoice, "", kNone, "", kCuts, 1},
    {"quantity", Msg::kQuantity, Kind::kCount, "", Msg::kCopiesSuffix, "", {}, 2},
    {"overs", Msg::kOvers, Kind::kNumber, "%", kNone, "0", {}, 2},
    {"makeready", Msg::kMakeready, Kind::kCount, "", Msg::kSheetsSuffix, "0", {}, 2},
    {"parent", Msg::kParent, Kind::kSize, "", kNone, "", {}, 2, false, PresetKind::kSheet},
    {"grammage", Msg::kGrammage, Kind::kNumber, "g/m²", kNone, "", {}, 2},
    {"price", Msg::kPrice, Kind::kNumber, "", kNone, "", {}, 2},
    {"price_per", Msg::kPricePer, Kind::kChoice, "", kNone, "", kPricePer, 2, true},
};

const Field* FindField(std::string_view name) {
  for (const Field& field : kFields) {
    if (field.name == name) return &field;
  }
  return nullptr;
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
      : form_(form),
        micrometres_per_unit_(form.unit == Unit::kIn ? kMicrometresPerInch
                                                     : layout::kMicrometresPerMm) {}

  const std::optional<FormError>& error() const { return error_; }

  std::string_view Text(std::string_view name) const {
    return Trim(form_.typed.find(name)->second);
  }
  bool Given(std::string_view name) const { return !Text(name).empty(); }

  double NumberOf(std::string_view name) {
    const std::optional<double> value = Number(Text(name));
    if (!value) {
      Refuse(name, Msg::kErrNumber);
    } else if (std::fabs(*value) > kLargest) {
      Refuse(name, Msg::kErrTooLarge);
    } else {
      return *value;
    }
    return 0;
  }

  std::int64_t CountOf(std::string_view name) {
    const double value = NumberOf(name);
    if (value == std::floor(value)) return static_cast<std::int64_t>(value);
    Refuse(name, Msg::kErrWhole);
    return 0;
  }

  Micrometres LengthOf(std::string_view name) {
    const std::optional<double> value = Number(FractionsAsDecimals(Text(name)));
    if (!value) {
      Refuse(name, Msg::kErrNumber);
    } else if (std::fabs(*value) > kLargest) {
      Refuse(name, Msg::kErrTooLarge);
    } else {
      return std::llround(*value * micrometres_per_unit_);
    }
    return 0;
  }

  /// "LxW": x, X, * or × between the two lengths, blanks allowed.
  layout::Size SizeOf(std::string_view name) {
    const std::string_view text = Text(name);
    for (const std::string_view separator : {"x", "X", "*", "×"}) {
      const auto at = text.find(separator);
      if (at == std::string_view::npos) continue;
      const std::optional<double> length = Number(FractionsAsDecimals(text.substr(0, at)));
      const std::optional<double> width =
          Number(FractionsAsDecimals(text.substr(at + separator.size())));
      if (!length || !width) break;
      if (std::fabs(*length) > kLargest || std::fabs(*width) > kLargest) {
        Refuse(name, Msg::kErrTooLarge);
        return {};
      }
      return {std::llround(*length * micrometres_per_unit_),
              std::llround(*width * micrometres_per_unit_)};
    }
    Refuse(name, Msg::kErrSize);
    return {};
  }

  /// The index of the chosen option; an empty field takes the first.
  std::size_t ChoiceOf(std::string_view name) {
    const Field& field = *FindField(name);
    if (!Given(name)) return 0;
    for (std::size_t i = 0; i < field.choices.size(); ++i) {
      if (field.choices[i].value == Text(name)) return i;
    }
    Refuse(name, Msg::kErrChoice);
    return 0;
  }

  /// Keeps the first error.
  void Refuse(std::string_view name, Msg message) {
    if (!error_) error_ = FormError{.field = std::string(name), .message = message};
  }

 private:
  const ParsedForm& form_;
  double micrometres_per_unit_;
  std::optional<FormError> error_;
};

layout::Request ReadRequest(FormReader& form) {
  layout::Request request;
  for (const std::string_view required : {"sheet", "piece"}) {
    if (!form.Given(required)) form.Refuse(required, Msg::kErrRequired);
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
  if (!form.Given("quantity")) form.Refuse("quantity", Msg::kErrQuantityNeeded);
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

/// An engine's refusal in the page's words, beside the field it belongs to.
FormError Refusal(const layout::RequestError& refused) {
  struct Known {
    std::string_view message;
    Msg msg;
    std::int64_t limit = 0;
  };
  static constexpr Known kKnown[] = {
      {"must be greater than 0 mm", Msg::kErrPositive},
      {"must be at most 100000 mm", Msg::kErrTooLarge},
      {"must be at most 1000 mm", Msg::kErrTooLarge},
      {"must not be negative", Msg::kErrNegative},
      {"must be a whole number from 1 to 1000000000000", Msg::kErrQuantityRange, 1'000'000'000'000},
      {"must be from 0 to 100 (percent)", Msg::kErrOversRange},
      {"must be a whole number from 0 to 1000000000", Msg::kErrMakereadyRange, 1'000'000'000},
      {"must be greater than 0 and at most 100000 g/m2", Msg::kErrGrammageRange, 100'000},
      {"must be from 0 to 1000000000000", Msg::kErrPriceRange, 1'000'000'000'000},
      {"a price per tonne needs the grammage", Msg::kErrPerTonneNeedsGrammage},
      {"the left and right margins leave nothing of the sheet's length",
       Msg::kErrSidesLeaveNothing},
      {"the gripper and tail margins leave nothing of the sheet's width",
       Msg::kErrEndsLeaveNothing},
  };
  FormError error{.field = FormFieldOf(refused.field)};
  for (const Known& known : kKnown) {
    if (known.message != refused.message) continue;
    error.message = known.msg;
    error.limit = known.limit;
  }
  return error;
}

std::string ErrorText(const FormError& error, const Locale& locale) {
  return locale.Fill(error.message, {locale.Count(error.limit)});
}

void AppendQueryValue(std::string& query, std::string_view value) {
  for (const unsigned char c : value) {
    if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
      query += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      query += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
}

/// The typed fields and the language as a query string, for the SVG and PDF links and the
/// language switch.
std::string QueryString(const ParsedForm& form, const Language& language) {
  std::string query;
  for (const Field& field : kFields) {
    const std::string& value = form.typed.find(field.name)->second;
    if (value.empty()) continue;
    query += query.empty() ? "?" : "&";
    query.append(field.name).append("=");
    AppendQueryValue(query, value);
  }
  query.append(query.empty() ? "?" : "&").append("lang=").append(language.code);
  return query;
}

constexpr std::string_view kStyle = R"(<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<style>
body{margin:0;font:14px/1.5 "WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;color:#222;background:#f4f6f8}
header{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:center;gap:.2em 1em;padding:.4em 1em;background:#2f4f6f;color:#fff}
header h1{margin:0;font-size:1.2em}
header a{color:#fff}
header nav a{margin-left:1em}
:focus-visible{outline:3px solid #1a5fb4;outline-offset:2px}
header :focus-visible{outline-color:#ffd866}
.skip{position:absolute;left:-100vw}
.skip:focus{left:1em;top:.2em;z-index:1;background:#fff;color:#222;padding:.2em .6em}
main{display:flex;gap:1.2em;padding:1em;align-items:flex-start}
form{flex:0 0 23em;background:#fff;padding:.6em .8em;border:1px solid #ccd;box-sizing:border-box}
fieldset{border:1px solid #dde;margin:0 0 .6em;padding:.3em .6em;min-width:0}
legend{font-weight:bold}
.row{display:grid;grid-template-columns:6.5em minmax(0,1fr) auto;gap:.1em .4em;align-items:center;margin:.25em 0}
.row input,.row select{width:100%;min-width:0;box-sizing:border-box;font:inherit}
.row .pair{display:flex;gap:.3em;min-width:0}
[aria-invalid=true]{border:2px solid #b00020}
.error{grid-column:1/-1;margin:0;color:#b00020;font-weight:bold}
button{font:inherit;padding:.3em 2em}
#result{flex:1;min-width:0;display:grid;grid-template-columns:minmax(0,1fr) 22em;grid-template-rows:auto auto 1fr;grid-template-areas:"summary summary" "drawing figures" "drawing list";gap:.4em 1.2em;align-items:start}
.summary{grid-area:summary;margin:0;color:#555}
#drawing{grid-area:drawing;margin:0;background:#fff;border:1px solid #ccd;padding:.4em}
#drawing svg{display:block;width:100%;height:auto;max-height:78vh}
#figures{grid-area:figures;margin:0;background:#fff;border:1px solid #ccd;padding:.4em .8em}
#figures div{display:flex;justify-content:space-between;gap:1em;border-bottom:1px dotted #ccd}
#figures dt{color:#555}
#figures dd{margin:0;font-weight:bold;text-align:right;overflow-wrap:anywhere}
#figures #ups{font-size:1.6em;color:#2a5d8f}
#cut-list{grid-area:list;min-width:0}
#cut-list h2{font-size:1em;margin:.2em 0}
#cuts{margin:0;padding-left:2.6em;font-size:.92em;max-height:40vh;overflow:auto;background:#fff;border:1px solid #ccd}
.links a{margin-right:1em}
@media screen and (max-width:1280px){
#result{grid-template-columns:minmax(0,1fr);grid-template-rows:none;grid-template-areas:"summary" "figures" "drawing" "list"}
}
@media screen and (max-width:760px){
main{flex-direction:column;align-items:stretch;padding:.5em;gap:.8em}
form{flex:none}
#result{order:-1;grid-template-areas:"drawing" "summary" "figures" "list"}
}
@page{size:A4 landscape;margin:8mm}
@media print{
body{background:#fff;font-size:9pt}
header,form,.links,.skip{display:none}
main{display:block;padding:0}
#result{grid-template-columns:minmax(0,1.6fr) minmax(0,1fr);grid-template-rows:auto;grid-template-areas:"summary summary" "drawing figures" "list list";gap:1mm 5mm}
#drawing,#figures,#cuts{border:0;padding:0}
#drawing svg{max-height:108mm}
#cuts{max-height:none;overflow:visible;font-size:6.5pt;line-height:1.25;columns:4;column-gap:5mm;padding-left:0;list-style-position:inside}
*{-webkit-print-color-adjust:exact;print-color-adjust:exact}
}
</style>
)";

// A preset's name typed into a size field (and left) becomes its size; the datalist offers the
// same sizes as the clerk types.
constexpr std::string_view kScript = R"(<script>
for (const input of document.querySelectorAll('input[list]')) {
  input.addEventListener('change', () => {
    const typed = input.value.trim().toLowerCase();
    const match = [...input.list.options].find((o) => o.dataset.name.toLowerCase() === typed);
    if (match) input.value = match.value;
  });
}
</script>
)";

void AppendHead(std::string& html, const ParsedForm& form, const Locale& locale, bool result) {
  html.append("<!DOCTYPE html>\n<html lang=\"").append(locale.language().tag).append("\">\n");
  html.append("<head>\n").append(kStyle);
  html.append("<title>").append(locale[Msg::kTitle]).append("</title>\n</head>\n<body>\n");
  if (result) {
    html.append("<a class=\"skip\" href=\"#result\">").append(locale[Msg::kSkipToResult]);
    html.append("</a>\n");
  }
  html.append("<header><h1>").append(locale[Msg::kTitle]).append("</h1><nav>");
  html.append("<a href=\"/\" hreflang=\"zh\">").append(locale[Msg::kClassicLink]).append("</a>");
  for (const Language& other : Languages()) {
    if (&other == &locale.language()) continue;
    html.append("<a href=\"/plan")
        .append(EscapeHtmlAttribute(QueryString(form, other)))
        .append("\" lang=\"")
        .append(other.tag)
        .append("\" hreflang=\"")
        .append(other.tag)
        .append("\">")
        .append(other.name)
        .append("</a>");
  }
  html.append("</nav></header>\n<main>\n");
}

void AppendError(std::string& html, const FormError& error, const Locale& locale) {
  html += "<p id=\"error\" class=\"error\" role=\"alert\">";
  html += EscapeHtmlAttribute(ErrorText(error, locale));
  html += "</p>\n";
}

std::string PresetListId(PresetKind kind) {
  return kind == PresetKind::kSheet ? "presets-sheet" : "presets-piece";
}

/// The sizes of one kind as a datalist, each in the form's unit (exact when read back) and
/// labelled with its name and its size as known.
void AppendPresets(std::string& html, PresetKind kind, const Locale& locale) {
  html += "<datalist id=\"" + PresetListId(kind) + "\">\n";
  for (const Preset& preset : Presets()) {
    if (preset.kind != kind) continue;
    const std::string_view name = preset.name == kNone ? preset.code : locale[preset.name];
    const Locale known(locale.language(), preset.unit);
    html.append("<option value=\"")
        .append(LengthText(preset.length, locale.unit()))
        .append("x")
        .append(LengthText(preset.width, locale.unit()))
        .append("\" data-name=\"")
        .append(name)
        .append("\" label=\"")
        .append(name)
        .append(" ")
        .append(known.Size(preset.length, preset.width))
        .append(" ")
        .append(known.UnitName())
        .append("\"></option>\n");
  }
  html += "</datalist>\n";
}

void AppendInput(std::string& html, const ParsedForm& form, const Field& field, bool invalid,
                 const Locale& locale) {
  const std::string& typed = form.typed.find(field.name)->second;
  const std::string id = "f-" + std::string(field.name);
  const std::string invalid_attributes =
      invalid ? " aria-invalid=\"true\" aria-describedby=\"error\"" : "";
  if (field.kind == Kind::kChoice) {
    html += "<select id=\"" + id + "\" name=\"" + std::string(field.name) + "\"";
    // A select beside another field has no label of its own in the row.
    if (field.same_row) html.append(" aria-label=\"").append(locale[field.label]).append("\"");
    html += invalid_attributes + ">";
    for (const Choice& choice : field.choices) {
      html += "<option value=\"" + std::string(choice.value) + "\"";
      if (choice.value == Trim(typed)) html += " selected";
      html.append(">").append(locale[choice.label]).append("</option>");
    }
    html += "</select>";
    return;
  }
  html += "<input id=\"" + id + "\" name=\"" + std::string(field.name) + "\" value=\"";
  html += EscapeHtmlAttribute(typed);
  html += "\"";
  if (field.name == "parent") {
    html.append(" placeholder=\"").append(locale[Msg::kSameAsSheet]).append("\"");
  } else if (field.kind == Kind::kSize && locale.unit() == Unit::kIn) {
    html.append(" placeholder=\"").append(field.name == "sheet" ? "40x28" : "11x8.5").append("\"");
  } else if (!field.placeholder.empty()) {
    html.append(" placeholder=\"").append(field.placeholder).append("\"");
  }
  if (field.presets) html += " list=\"" + PresetListId(*field.presets) + "\" autocomplete=\"off\"";
  if (field.kind != Kind::kSize) html += " inputmode=\"decimal\"";
  html += invalid_attributes + ">";
}

void AppendForm(std::string& html, const ParsedForm& form, const Locale& locale) {
  html += "<form id=\"plan-form\" action=\"/plan\" method=\"get\">\n";
  html.append("<input type=\"hidden\" name=\"lang\" value=\"")
      .append(locale.language().code)
      .append("\">\n");
  if (form.error && form.error->field.empty()) AppendError(html, *form.error, locale);
  int group = -1;
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const Field& field = kFields[i];
    if (field.group != group) {
      if (group >= 0) html += "</fieldset>\n";
      group = field.group;
      html.append("<fieldset><legend>").append(locale[kGroups[group]]).append("</legend>\n");
    }
    if (field.same_row) continue;  // drawn with the field before it
    const bool joined = i + 1 < std::size(kFields) && kFields[i + 1].same_row;
    const bool invalid = form.error && form.error->field == field.name;
    html.append("<div class=\"row\"><label for=\"f-")
        .append(field.name)
        .append("\">")
        .append(locale[field.label])
        .append("</label>");
    if (joined) html += "<span class=\"pair\">";
    AppendInput(html, form, field, invalid, locale);
    if (joined) {
      AppendInput(html, form, kFields[i + 1],
                  form.error && form.error->field == kFields[i + 1].name, locale);
      html += "</span>";
    }
    const bool length = field.kind == Kind::kSize || field.kind == Kind::kLength;
    const std::string_view suffix = length                       ? locale.UnitName()
                                    : field.suffix_word != kNone ? locale[field.suffix_word]
                                                                 : field.suffix;
    html.append("<span class=\"suffix\">").append(suffix).append("</span>\n");
    if (form.error && (invalid || (joined && form.error->field == kFields[i + 1].name))) {
      AppendError(html, *form.error, locale);
    }
    html += "</div>\n";
  }
  html.append("</fieldset>\n<button type=\"submit\">")
      .append(locale[Msg::kSubmit])
      .append("</button>\n");
  AppendPresets(html, PresetKind::kSheet, locale);
  AppendPresets(html, PresetKind::kPiece, locale);
  html += "</form>\n";
}

void AppendResult(std::string& html, const ParsedForm& form, const layout::Answer& answer,
                  const Locale& locale) {
  const layout::Request& request = *form.request;
  html += "<section id=\"result\" tabindex=\"-1\">\n<p class=\"summary\">" +
          RequestSummary(request, locale) + "</p>\n";
  html += "<figure id=\"drawing\">\n" + PlanSvg(request, answer, locale, false) + "</figure>\n";
  html += "<dl id=\"figures\">\n";
  for (const Figure& figure : Figures(answer, locale)) {
    html.append("<div><dt>").append(figure.label).append("</dt><dd id=\"").append(figure.id);
    html += "\"";
    if (figure.id == "proof")
      html += " data-proof=\"" + std::string(layout::ProofName(answer.proof)) + "\"";
    html += ">";
    html += EscapeHtmlAttribute(figure.value);
    html += "</dd></div>\n";
  }
  html.append("</dl>\n<section id=\"cut-list\" aria-labelledby=\"cut-list-title\">")
      .append("<h2 id=\"cut-list-title\">")
      .append(locale[Msg::kCutList])
      .append("</h2>\n");
  const std::vector<std::string> steps =
      answer.cuts ? CutSteps(*answer.cuts, locale) : std::vector<std::string>{};
  if (steps.empty()) {
    html += "<p class=\"note\">" + NoCutsNote(request, answer, locale) + "</p>\n";
  } else {
    // Focusable, so the keyboard can scroll a long list.
    html += "<ol id=\"cuts\" tabindex=\"0\" aria-labelledby=\"cut-list-title\">\n";
    for (const std::string& step : steps) html += "<li>" + step + "</li>\n";
    html += "</ol>\n";
  }
  const std::string query = EscapeHtmlAttribute(QueryString(form, locale.language()));
  html.append("<p class=\"links\"><a href=\"/plan.pdf")
      .append(query)
      .append("\">")
      .append(locale[Msg::kPdfLink])
      .append("</a><a href=\"/plan.svg")
      .append(query)
      .append("\">")
      .append(locale[Msg::kSvgLink])
      .append("</a></p>\n</section>\n</section>\n");
}

constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kText = "text/plain; charset=utf-8";

/// Headers of every planner answer: it depends on the browser's languages.
std::vector<std::pair<std::string, std::string>> LanguageHeaders(const ParsedForm& form) {
  return {{"Vary", "Accept-Language"}, {"Content-Language", std::string(form.language->tag)}};
}

/// The answer for a form that cannot be planned, for the SVG and the PDF.
AppAnswer Refused(const ParsedForm& form) {
  const FormError& error = *form.error;
  return {.status = 400,
          .content_type = std::string(kText),
          .body = (error.field.empty() ? "" : error.field + ": ") +
                  ErrorText(error, form.locale()) + "\n",
          .headers = LanguageHeaders(form)};
}

}  // namespace

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
  form.unit = Trim(form.typed["unit"]) == "in" ? Unit::kIn : Unit::kMm;
  FormReader reader(form);
  const layout::Request request = ReadRequest(reader);
  if (reader.error()) {
    form.error = reader.error();
  } else if (const auto refused = layout::Validate(request)) {
    form.error = Refusal(*refused);
  } else {
    form.request = request;
  }
  return form;
}

std::string PlannerPage(const ParsedForm& form, const layout::Answer* answer) {
  const Locale locale = form.locale();
  const bool result = answer != nullptr && form.request;
  std::string html;
  AppendHead(html, form, locale, result);
  AppendForm(html, form, locale);
  if (result) AppendResult(html, form, *answer, locale);
  html.append("</main>\n").append(kScript).append("</body>\n</html>\n");
  return html;
}

AppAnswer ServePlanPage(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) {
    return {.status = 400,
            .content_type = std::string(kHtml),
            .body = PlannerPage(form, nullptr),
            .headers = LanguageHeaders(form)};
  }
  const layout::Answer answer = layout::Plan(*form.request);
  return {.content_type = std::string(kHtml),
          .body = PlannerPage(form, &answer),
          .headers = LanguageHeaders(form)};
}

AppAnswer ServePlanSvg(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) return Refused(form);
  return {.content_type = "image/svg+xml; charset=utf-8",
          .body = PlanSvg(*form.request, layout::Plan(*form.request), form.locale(), true),
          .headers = LanguageHeaders(form)};
}

AppAnswer ServePlanPdf(const AppRequest& request) {
  const ParsedForm form = ParsePlannerQuery(request.query, request.accept_language);
  if (!form.request) return Refused(form);
  std::vector<std::pair<std::string, std::string>> headers = LanguageHeaders(form);
  headers.emplace_back("Content-Disposition", "inline; filename=\"plan.pdf\"");
  return {.content_type = "application/pdf",
          .body = PlanPdf(*form.request, layout::Plan(*form.request), form.locale()),
          .headers = std::move(headers)};
}

}  // namespace sheetora::planner
