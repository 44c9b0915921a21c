#include "pages/planner/units.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace sheetora::planner {
namespace {

struct VulgarFraction {
  std::string_view glyph;
  int numerator, denominator;
};
// The fractions rulers and paper sizes use; any other is typed as "a/b".
constexpr VulgarFraction kVulgarFractions[] = {
    {"½", 1, 2}, {"¼", 1, 4}, {"¾", 3, 4}, {"⅛", 1, 8}, {"⅜", 3, 8},
    {"⅝", 5, 8}, {"⅞", 7, 8}, {"⅓", 1, 3}, {"⅔", 2, 3},
};

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

long long Digits(std::string_view text) {
  long long value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

/// "8 1/2", "8-1/2", "1/2", "8½", "8 ½", "½" as whole, numerator, denominator.
std::optional<double> Mixed(std::string_view text) {
  for (const VulgarFraction& f : kVulgarFractions) {
    if (!text.ends_with(f.glyph)) continue;
    std::string_view whole = text.substr(0, text.size() - f.glyph.size());
    while (whole.ends_with(' ')) whole.remove_suffix(1);
    if (!whole.empty() && !IsDigits(whole)) return std::nullopt;
    return static_cast<double>(whole.empty() ? 0 : Digits(whole)) +
           static_cast<double>(f.numerator) / f.denominator;
  }
  const auto slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view denominator = text.substr(slash + 1);
  std::string_view left = text.substr(0, slash);
  std::string_view whole;
  if (const auto gap = left.find_last_of(" -"); gap != std::string_view::npos) {
    whole = left.substr(0, gap);
    while (whole.ends_with(' ')) whole.remove_suffix(1);
    left = left.substr(gap + 1);
  }
  const bool split = left.size() != slash;  // "8 1/2": the whole part must then be there
  if (!IsDigits(left) || !IsDigits(denominator) || (split && !IsDigits(whole)) ||
      Digits(denominator) == 0 || denominator.size() > 6 || left.size() > 6 || whole.size() > 12) {
    return std::nullopt;
  }
  return static_cast<double>(Digits(whole)) +
         static_cast<double>(Digits(left)) / static_cast<double>(Digits(denominator));
}

}  // namespace

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Mm(layout::Micrometres length) {
  const layout::Micrometres whole = length / layout::kMicrometresPerMm;
  const layout::Micrometres fraction = std::llabs(length % layout::kMicrometresPerMm);
  std::string text = length < 0 && whole == 0 ? "-" : "";
  text += std::to_string(whole);
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, ".%03lld", static_cast<long long>(fraction));
    std::string_view decimals(digits);
    text += decimals.substr(0, decimals.find_last_not_of('0') + 1);
  }
  return text;
}

std::string SizeText(layout::Micrometres length, layout::Micrometres width) {
  return Mm(length) + " × " + Mm(width);
}

std::string Decimal(double value, int decimals, bool keep_zeros) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
  if (!keep_zeros && text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

std::string LengthText(layout::Micrometres length, Unit unit) {
  if (unit == Unit::kMm) return Mm(length);
  return Decimal(static_cast<double>(length) / kMicrometresPerInch, 5);
}

std::string FractionsAsDecimals(std::string_view typed) {
  const std::optional<double> value = Mixed(Trim(typed));
  return value ? Decimal(*value, 9) : std::string(typed);
}

}  // namespace sheetora::planner
