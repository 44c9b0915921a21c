#include "pages/planner/form.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

#include "layout/decimal.h"
#include "layout/json.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

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

struct TypedLength {
  std::optional<layout::Micrometres> micrometres;  ///< nothing when the text is no number
  bool too_large = false;
};

/// A typed length (decimals, or a mixed fraction) read as the API reads lengths: from the
/// decimals as written, to the nearest micrometre, halves away from zero.
TypedLength ReadLength(std::string_view typed, double micrometres_per_unit) {
  const std::string text = FractionsAsDecimals(typed);
  const std::optional<double> value = Number(text);
  if (!value) return {};
  std::string_view digits = Trim(text);
  if (digits.front() == '+') digits.remove_prefix(1);
  return {.micrometres = layout::RoundScaled(layout::ReadDecimal(digits),
                                             static_cast<std::int64_t>(micrometres_per_unit)),
          .too_large = std::fabs(*value) > kLargest};
}

// The planner pages' one style sheet; a page adds rules of its own after it.
constexpr std::string_view kStyle =
    R"(body{margin:0;font:14px/1.5 "WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;color:#222;background:#f4f6f8}
header{display:flex;flex-wrap:wrap;justify-content:space-between;align-items:center;gap:.2em 1em;padding:.4em 1em;background:#2f4f6f;color:#fff}
header h1{margin:0;font-size:1.2em}
header a{color:#fff}
header nav a{margin-left:1em}
:focus-visible{outline:3px solid #1a5fb4;outline-offset:2px}
header :focus-visible{outline-color:#ffd866}
.skip{position:absolute;left:-100vw}
.sr-only{position:absolute;width:1px;height:1px;overflow:hidden;clip-path:inset(50%);white-space:nowrap}
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
)";

// A preset's name typed into a size field (and left) becomes its size; the datalist offers the
// same sizes as the clerk types. Changing the unit converts the lengths typed so far (plain
// numbers; a fraction stays as typed) and the presets offered, with as many decimals as read
// back to the same micrometres.
constexpr std::string_view kFormScript = R"(<script>
for (const input of document.querySelectorAll('input[list^="presets-"]')) {
  input.addEventListener('change', () => {
    const typed = input.value.trim().toLowerCase();
    const match = [...input.list.options].find((o) => o.dataset.name.toLowerCase() === typed);
    if (match) input.value = match.value;
  });
}
const unit = document.getElementById('f-unit');
unit?.addEventListener('change', () => {
  const inches = unit.value === 'in';
  const text = (mm) => String(+(inches ? mm / 25.4 : mm).toFixed(inches ? 5 : 3));
  const number = String.raw`\s*(\d+(?:\.\d*)?|\.\d+)\s*`;
  const size = new RegExp(`^${number}([xX*×])${number}$`), length = new RegExp(`^${number}$`);
  const mm = (typed) => (inches ? +typed : +typed * 25.4);
  for (const input of document.querySelectorAll('input[data-length]')) {
    const s = size.exec(input.value), l = length.exec(input.value);
    if (s) input.value = `${text(mm(s[1]))}${s[2]}${text(mm(s[3]))}`;
    else if (l) input.value = text(mm(l[1]));
  }
  for (const option of document.querySelectorAll('datalist[id^="presets-"] option')) {
    const [l, w] = option.dataset.um.split('x').map((um) => text(um / 1000));
    option.value = `${l}x${w}`;
  }
  for (const suffix of document.querySelectorAll('[data-unit]')) suffix.textContent = unit.value;
});
</script>
)";

std::string PresetListId(PresetKind kind) {
  return kind == PresetKind::kSheet ? "presets-sheet" : "presets-piece";
}

}  // namespace

Unit UnitOf(const Typed& typed) {
  const auto unit = typed.find("unit");
  return unit != typed.end() && Trim(unit->second) == "in" ? Unit::kIn : Unit::kMm;
}

FormReader::FormReader(const Typed& typed)
    : typed_(typed),
      micrometres_per_unit_(UnitOf(typed) == Unit::kIn ? kMicrometresPerInch
                                                       : layout::kMicrometresPerMm) {}

std::string_view FormReader::Text(std::string_view key) const {
  const auto field = typed_.find(key);
  return field == typed_.end() ? std::string_view() : Trim(field->second);
}

double FormReader::NumberOf(std::string_view key) {
  const std::optional<double> value = Number(Text(key));
  if (!value) {
    Refuse(key, Msg::kErrNumber);
  } else if (std::fabs(*value) > kLargest) {
    Refuse(key, Msg::kErrTooLarge);
  } else {
    return *value;
  }
  return 0;
}

std::int64_t FormReader::CountOf(std::string_view key) {
  const double value = NumberOf(key);
  if (value == std::floor(value)) return static_cast<std::int64_t>(value);
  Refuse(key, Msg::kErrWhole);
  return 0;
}

layout::Micrometres FormReader::LengthOf(std::string_view key) {
  const TypedLength length = ReadLength(Text(key), micrometres_per_unit_);
  if (!length.micrometres) {
    Refuse(key, Msg::kErrNumber);
  } else if (length.too_large) {
    Refuse(key, Msg::kErrTooLarge);
  } else {
    return *length.micrometres;
  }
  return 0;
}

layout::Size FormReader::SizeOf(std::string_view key) {
  const std::string_view text = Text(key);
  for (const std::string_view separator : {"x", "X", "*", "×"}) {
    const auto at = text.find(separator);
    if (at == std::string_view::npos) continue;
    const TypedLength length = ReadLength(text.substr(0, at), micrometres_per_unit_);
    const TypedLength width = ReadLength(text.substr(at + separator.size()), micrometres_per_unit_);
    if (!length.micrometres || !width.micrometres) break;
    if (length.too_large || width.too_large) {
      Refuse(key, Msg::kErrTooLarge);
      return {};
    }
    return {*length.micrometres, *width.micrometres};
  }
  Refuse(key, Msg::kErrSize);
  return {};
}

std::size_t FormReader::ChoiceOf(std::string_view key, std::span<const Choice> choices) {
  if (!Given(key)) return 0;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].value == Text(key)) return i;
  }
  Refuse(key, Msg::kErrChoice);
  return 0;
}

void FormReader::Refuse(std::string_view key, Msg message) {
  if (!error_) error_ = FormError{.field = std::string(key), .message = message};
}

std::string ErrorText(const FormError& error, const Locale& locale) {
  return std::string(locale[error.message]);
}

FormError Refusal(const layout::RequestError& refused, std::string field) {
  FormError error{.field = std::move(field)};
  using layout::ErrorCode;
  switch (refused.code) {
    case ErrorCode::kRequired:
      error.message = Msg::kErrRequired;
      break;
    case ErrorCode::kNotWhole:
      error.message = Msg::kErrWhole;
      break;
    case ErrorCode::kNotAChoice:
      error.message = Msg::kErrChoice;
      break;
    case ErrorCode::kOutOfRange:
      error.message = Msg::kErrOutOfRange;
      break;
    case ErrorCode::kNoPrintableArea:
      error.message = Msg::kErrNoPrintableArea;
      break;
    case ErrorCode::kNeedsGrammage:
      error.message = Msg::kErrPerTonneNeedsGrammage;
      break;
    default:  // what a form cannot send: bad JSON, unknown or repeated fields, a second price
      error.message = Msg::kErrRefused;
  }
  return error;
}

void AppendError(std::string& html, const FormError& error, const Locale& locale) {
  html += "<p id=\"error\" class=\"error\" role=\"alert\">";
  html += EscapeHtmlAttribute(ErrorText(error, locale));
  html += "</p>\n";
}

void AppendInput(std::string& html, const Field& field, std::string_view key,
                 std::string_view typed, bool invalid, const Locale& locale,
                 std::string_view attributes) {
  const std::string id = "f-" + std::string(key);
  const std::string name(field.name);
  if (field.kind == Kind::kChoice) {
    html += "<select id=\"" + id + "\" name=\"" + name + "\"";
    if (invalid) html += " aria-invalid=\"true\" aria-describedby=\"error\"";
    html.append(attributes).append(">");
    for (const Choice& choice : field.choices) {
      html += "<option value=\"" + std::string(choice.value) + "\"";
      if (choice.value == Trim(typed)) html += " selected";
      html.append(">").append(locale[choice.label]).append("</option>");
    }
    html += "</select>";
    return;
  }
  html += "<input id=\"" + id + "\" name=\"" + name + "\" value=\"";
  html += EscapeHtmlAttribute(typed);
  html += "\"";
  // Size placeholders are millimetres; in inches a size of the same sort.
  std::string_view placeholder = field.placeholder;
  if (field.kind == Kind::kSize && locale.unit() == Unit::kIn && !placeholder.empty()) {
    placeholder = field.presets == PresetKind::kPiece ? "11x8.5" : "40x28";
  }
  if (!placeholder.empty()) html.append(" placeholder=\"").append(placeholder).append("\"");
  if (field.presets) {
    html += " list=\"" + PresetListId(*field.presets) + "\" autocomplete=\"off\"";
  }
  if (field.kind == Kind::kSize || field.kind == Kind::kLength) html += " data-length";
  if (field.kind != Kind::kSize && field.kind != Kind::kText) html += " inputmode=\"decimal\"";
  if (invalid) html += " aria-invalid=\"true\" aria-describedby=\"error\"";
  html.append(attributes).append(">");
}

void AppendFieldRows(std::string& html, std::span<const Field> fields, const Typed& typed,
                     const std::optional<FormError>& error, const Locale& locale) {
  const auto text = [&](const Field& field) {
    const auto found = typed.find(field.name);
    return found == typed.end() ? std::string_view() : std::string_view(found->second);
  };
  const auto invalid = [&](const Field& field) { return error && error->field == field.name; };
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& field = fields[i];
    if (field.same_row) continue;  // drawn with the field before it
    const Field* joined =
        i + 1 < fields.size() && fields[i + 1].same_row ? &fields[i + 1] : nullptr;
    html.append("<div class=\"row\"><label for=\"f-")
        .append(field.name)
        .append("\">")
        .append(locale[field.label])
        .append("</label>");
    if (joined != nullptr) html += "<span class=\"pair\">";
    AppendInput(html, field, field.name, text(field), invalid(field), locale);
    if (joined != nullptr) {
      // The field beside has no label of its own in the row.
      AppendInput(html, *joined, joined->name, text(*joined), invalid(*joined), locale,
                  " aria-label=\"" + std::string(locale[joined->label]) + "\"");
      html += "</span>";
    }
    const bool length = field.kind == Kind::kSize || field.kind == Kind::kLength;
    const std::string_view suffix = length                        ? locale.UnitName()
                                    : field.suffix_word != kNoMsg ? locale[field.suffix_word]
                                                                  : field.suffix;
    html.append(length ? "<span class=\"suffix\" data-unit>" : "<span class=\"suffix\">")
        .append(suffix)
        .append("</span>\n");
    if (invalid(field) || (joined != nullptr && invalid(*joined))) {
      AppendError(html, *error, locale);
    }
    html += "</div>\n";
  }
}

void AppendFigures(std::string& html, const std::vector<Figure>& figures,
                   std::string_view list_attributes, std::string_view id_attribute,
                   layout::Proof proof) {
  html.append("<dl ").append(list_attributes).append(">\n");
  for (const Figure& figure : figures) {
    html.append("<div><dt>").append(figure.label).append("</dt><dd ").append(id_attribute);
    html.append("=\"").append(figure.id).append("\"");
    if (figure.id == "proof") {
      html.append(" data-proof=\"").append(layout::ProofName(proof)).append("\"");
    }
    html.append(">").append(EscapeHtmlAttribute(figure.value)).append("</dd></div>\n");
  }
  html += "</dl>\n";
}

std::vector<std::pair<std::string, std::string>> LanguageHeaders(const Locale& locale) {
  return {{"Vary", "Accept-Language"}, {"Content-Language", std::string(locale.language().tag)}};
}

AppAnswer RefusedFile(const FormError& error, const Locale& locale) {
  return {.status = 400,
          .content_type = "text/plain; charset=utf-8",
          .body = (error.field.empty() ? "" : error.field + ": ") + ErrorText(error, locale) + "\n",
          .headers = LanguageHeaders(locale)};
}

void AppendQueryField(std::string& query, std::string_view name, std::string_view value) {
  query += query.empty() ? "?" : "&";
  query += name;
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

void AppendPresetLists(std::string& html, const Locale& locale) {
  for (const PresetKind kind : {PresetKind::kSheet, PresetKind::kPiece}) {
    html += "<datalist id=\"" + PresetListId(kind) + "\">\n";
    for (const Preset& preset : Presets()) {
      if (preset.kind != kind) continue;
      const std::string_view name = preset.name == kNoMsg ? preset.code : locale[preset.name];
      const Locale known(locale.language(), preset.unit);
      // The value in the form's unit reads back to the preset's exact micrometres; the label
      // gives the size as it is known.
      html.append("<option value=\"")
          .append(LengthText(preset.length, locale.unit()))
          .append("x")
          .append(LengthText(preset.width, locale.unit()))
          .append("\" data-um=\"")
          .append(std::to_string(preset.length))
          .append("x")
          .append(std::to_string(preset.width))
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
  html += kFormScript;
}

std::string LanguageLinks(std::string_view path, const std::string& query, const Locale& locale) {
  std::string links;
  for (const Language& other : Languages()) {
    if (&other == &locale.language()) continue;
    std::string href = query;
    AppendQueryField(href, "lang", other.code);
    href.insert(0, path);
    links.append("<a href=\"")
        .append(EscapeHtmlAttribute(href))
        .append("\" lang=\"")
        .append(other.tag)
        .append("\" hreflang=\"")
        .append(other.tag)
        .append("\">")
        .append(other.name)
        .append("</a>");
  }
  return links;
}

void AppendPageHead(std::string& html, const Locale& locale, std::string_view title,
                    std::string_view nav, std::string_view style, std::string_view skip_to) {
  html.append("<!DOCTYPE html>\n<html lang=\"").append(locale.language().tag).append("\">\n");
  html += R"(<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>)";
  html.append(title).append("</title>\n<style>\n").append(kStyle).append(style);
  html.append("</style>\n</head>\n<body>\n");
  if (!skip_to.empty()) {
    html.append("<a class=\"skip\" href=\"#").append(skip_to).append("\">");
    html.append(locale[Msg::kSkipToResult]).append("</a>\n");
  }
  html.append("<header><h1>").append(title);
  html.append("</h1><nav>").append(nav).append("</nav></header>\n<main>\n");
}

}  // namespace sheetora::planner
