// The planner pages' forms (/plan, /gang): reading the typed fields, writing the inputs, the
// error beside a field, the query string of a bookmark, and the head every planner page shares.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/app_routes.h"
#include "layout/layout.h"
#include "pages/planner/messages.h"
#include "pages/planner/plan_view.h"
#include "pages/planner/presets.h"
#include "pages/planner/units.h"

namespace sheetora::planner {

using Query = std::vector<std::pair<std::string, std::string>>;

/// The form's fields as typed, by key: the field's name, or for a row of a table of fields its
/// name and the row's index ("qty-3"). The key is also the input's id without its "f-".
using Typed = std::map<std::string, std::string, std::less<>>;

/// What is wrong with the form: the key of the field it belongs to ("" when none does) and why,
/// as a text of the message tables.
struct FormError {
  std::string field;
  Msg message = Msg::kErrRefused;
};

/// The error in the locale's words.
std::string ErrorText(const FormError& error, const Locale& locale);

/// An engine's refusal in the page's words, for the form field `field`.
FormError Refusal(const layout::RequestError& refused, std::string field);

enum class Kind { kSize, kLength, kChoice, kCount, kNumber, kText };

struct Choice {
  std::string_view value;
  Msg label;
};

inline constexpr Choice kUnits[] = {{"mm", Msg::kUnitMm}, {"in", Msg::kUnitIn}};
inline constexpr Choice kGrains[] = {
    {"any", Msg::kGrainAny}, {"length", Msg::kGrainLength}, {"width", Msg::kGrainWidth}};
inline constexpr Choice kCuts[] = {{"guillotine", Msg::kCutGuillotine}, {"die", Msg::kCutDie}};
inline constexpr Choice kPricePer[] = {{"tonne", Msg::kPerTonne},
                                       {"ream", Msg::kPerReam},
                                       {"sheet", Msg::kPerSheet},
                                       {"m2", Msg::kPerSquareMetre}};

/// No text: a field without a suffix in words.
inline constexpr Msg kNoMsg = Msg::kCount;

/// One field of a form: what it reads and how the page shows it. A choice's first option is its
/// default.
struct Field {
  std::string_view name;
  Msg label;
  Kind kind;
  std::string_view suffix = "";  ///< after the input; "" for lengths, which take the unit
  Msg suffix_word = kNoMsg;      ///< a suffix in words instead
  std::string_view placeholder = "";
  std::span<const Choice> choices = {};
  int group = 0;
  bool same_row = false;                             ///< drawn in the row of the field before it
  std::optional<PresetKind> presets = std::nullopt;  ///< sizes offered as the clerk types
};

/// Reads typed fields by key. The first field found wrong is kept as the error; reads after it
/// answer 0, so a request can be read to the end and the error checked once. Lengths are
/// millimetres, or inches when the field "unit" holds "in"; fractions ("8 1/2", "8½") are read.
class FormReader {
 public:
  /// `typed` must outlive the reader.
  explicit FormReader(const Typed& typed);

  const std::optional<FormError>& error() const { return error_; }

  /// The trimmed text of a field; "" for a key the form does not have.
  std::string_view Text(std::string_view key) const;
  bool Given(std::string_view key) const { return !Text(key).empty(); }

  double NumberOf(std::string_view key);
  std::int64_t CountOf(std::string_view key);
  layout::Micrometres LengthOf(std::string_view key);
  /// "LxW": x, X, * or × between the two lengths, blanks allowed.
  layout::Size SizeOf(std::string_view key);
  /// The index of the chosen option; an empty field takes the first.
  std::size_t ChoiceOf(std::string_view key, std::span<const Choice> choices);

  /// Keeps the first error.
  void Refuse(std::string_view key, Msg message);

 private:
  const Typed& typed_;
  double micrometres_per_unit_;
  std::optional<FormError> error_;
};

/// The unit the form's unit field asks for.
Unit UnitOf(const Typed& typed);

/// The error's paragraph, id "error", which the invalid input points at; screen readers
/// announce it.
void AppendError(std::string& html, const FormError& error, const Locale& locale);

/// The input (or select) of `field` with id "f-" + key, showing `typed` as it was typed, in the
/// locale's words. `attributes` are added to it as they are (e.g. an accessible label).
void AppendInput(std::string& html, const Field& field, std::string_view key,
                 std::string_view typed, bool invalid, const Locale& locale,
                 std::string_view attributes = "");

/// The datalists of the preset sheets and pieces ("presets-sheet", "presets-piece") that size
/// inputs name, each size in the locale's unit, and the form's script: a preset's name typed
/// into a size field becomes its size, and changing the unit field converts the lengths typed
/// (inputs marked data-length), the presets and the unit shown beside lengths (data-unit).
void AppendPresetLists(std::string& html, const Locale& locale);

/// One row a field (a field marked same_row joins the row before it): its label, its input, its
/// unit or suffix, and the error when it belongs to the field.
void AppendFieldRows(std::string& html, std::span<const Field> fields, const Typed& typed,
                     const std::optional<FormError>& error, const Locale& locale);

/// The figures as a <dl> with `list_attributes` (e.g. id="figures"): each value's element
/// carries the figure's id in `id_attribute` ("id", or "class" where a page shows several such
/// lists), the proof's also its name in data-proof.
void AppendFigures(std::string& html, const std::vector<Figure>& figures,
                   std::string_view list_attributes, std::string_view id_attribute,
                   layout::Proof proof);

/// Appends "name=value" to a query string, with "?" or "&" before it and the value
/// percent-encoded.
void AppendQueryField(std::string& query, std::string_view name, std::string_view value);

/// Links to the page at `path` in each other language, with `query` (which must not hold
/// `lang`) kept: each link's text is the language's own name, marked as in that language.
std::string LanguageLinks(std::string_view path, const std::string& query, const Locale& locale);

/// The document's head and the page header up to <main>, in the locale's language: `title` for
/// both, `nav` (links) at the header's right, `style` added to the planner pages' shared style
/// sheet; with `skip_to`, a link that skips to the element of that id.
void AppendPageHead(std::string& html, const Locale& locale, std::string_view title,
                    std::string_view nav, std::string_view style = "",
                    std::string_view skip_to = "");

inline constexpr std::string_view kHtmlType = "text/html; charset=utf-8";

/// Headers of every planner answer: it depends on the browser's languages.
std::vector<std::pair<std::string, std::string>> LanguageHeaders(const Locale& locale);

/// The answer of a drawing or PDF whose form cannot be planned: 400 with the field and why, as
/// plain text in the locale's words.
AppAnswer RefusedFile(const FormError& error, const Locale& locale);

}  // namespace sheetora::planner
