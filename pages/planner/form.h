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

#include "layout/layout.h"

namespace sheetora::planner {

using Query = std::vector<std::pair<std::string, std::string>>;

/// The form's fields as typed, by key: the field's name, or for a row of a table of fields its
/// name and the row's index ("qty-3"). The key is also the input's id without its "f-".
using Typed = std::map<std::string, std::string, std::less<>>;

/// What is wrong with the form: the key of the field it belongs to ("" when none does) and why.
struct FormError {
  std::string field;
  std::string message;
};

enum class Kind { kSize, kLength, kChoice, kCount, kNumber, kText };

struct Choice {
  std::string_view value, label;
};

inline constexpr Choice kUnits[] = {{"mm", "毫米"}, {"in", "英寸"}};
inline constexpr Choice kGrains[] = {
    {"any", "不限"}, {"length", "成品长边顺纸张长边"}, {"width", "成品长边顺纸张短边"}};
inline constexpr Choice kCuts[] = {{"guillotine", "直刀裁切"}, {"die", "模切"}};
inline constexpr Choice kPricePer[] = {
    {"tonne", "元/吨"}, {"ream", "元/令"}, {"sheet", "元/张"}, {"m2", "元/平方米"}};

/// One field of a form: what it reads and how the page shows it. A choice's first option is its
/// default.
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

/// Blanks and tabs around a typed text removed.
std::string_view Trim(std::string_view text);

/// Reads typed fields by key. The first field found wrong is kept as the error; reads after it
/// answer 0, so a request can be read to the end and the error checked once. Lengths are
/// millimetres, or inches when the field "unit" holds "in".
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
  void Refuse(std::string_view key, std::string_view message);

 private:
  const Typed& typed_;
  double micrometres_per_unit_;
  std::optional<FormError> error_;
};

/// "mm" or "in", as the form's unit field asks.
std::string_view UnitOf(const Typed& typed);

/// The error's paragraph, id "error", which the invalid input points at.
void AppendError(std::string& html, const FormError& error);

/// The input (or select) of `field` with id "f-" + key, showing `typed` as it was typed.
/// `attributes` are added to it as they are (e.g. an accessible label).
void AppendInput(std::string& html, const Field& field, std::string_view key,
                 std::string_view typed, bool invalid, std::string_view attributes = "");

/// Appends "name=value" to a query string, with "?" or "&" before it and the value
/// percent-encoded.
void AppendQueryField(std::string& query, std::string_view name, std::string_view value);

/// The document's head and the page header up to <main>: `title` for both, `nav` (links) at the
/// header's right, `style` added to the planner pages' shared style sheet.
void AppendPageHead(std::string& html, std::string_view title, std::string_view nav,
                    std::string_view style = "");

}  // namespace sheetora::planner
