// The page value: the one variant type of every page variable, parameter and result.
#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace sheetora {

/// Empty, a 32-bit integer, a double, a UTF-8 string or a date. Empty counts as 0 in arithmetic
/// and as "" in text; a string takes part in arithmetic as the number it holds, and one that holds
/// none (the empty string included) is a type mismatch. Failing operations throw RuntimeError.
class Value {
 public:
  enum class Kind { kEmpty, kInteger, kDouble, kString, kDate };
  using Date = std::chrono::sys_days;

  Value() = default;
  Value(std::int32_t v) : data_(v) {}  // NOLINT: page values convert implicitly, as in the pages
  Value(double v) : data_(v) {}        // NOLINT
  Value(std::string v) : data_(std::move(v)) {}         // NOLINT
  Value(std::string_view v) : data_(std::string(v)) {}  // NOLINT
  Value(const char* v) : data_(std::string(v)) {}       // NOLINT
  Value(Date v) : data_(v) {}                           // NOLINT

  Kind kind() const { return static_cast<Kind>(data_.index()); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }
  /// Empty, an integer, a double, a date, or a string that holds a number.
  bool IsNumeric() const;

  /// The number this value stands for; throws a type mismatch for text that holds none.
  double ToDouble() const {
    // Inline for the numbers that page arithmetic handles most.
    if (const double* d = std::get_if<double>(&data_)) return *d;
    if (const std::int32_t* i = std::get_if<std::int32_t>(&data_)) return *i;
    return OtherToDouble();
  }
  /// The text form written to a response: strings unchanged, integers in digits, doubles in the
  /// general number form, dates as year-month-day, empty as nothing.
  std::string Text() const;

  /// The string held, or nullptr when this value is no string.
  const std::string* AsString() const { return std::get_if<std::string>(&data_); }

  friend Value operator+(const Value& a, const Value& b);
  friend Value operator-(const Value& a, const Value& b);
  friend Value operator*(const Value& a, const Value& b);
  /// Always a double; 0 / 0 is an overflow, x / 0 a division by zero.
  friend Value operator/(const Value& a, const Value& b);

  /// Numbers (and numeric text against a number) compare by value, strings by their bytes,
  /// empty as 0 against a number and as "" against a string. Text that holds no number compared
  /// with a number is a type mismatch.
  friend std::partial_ordering operator<=>(const Value& a, const Value& b);
  friend bool operator==(const Value& a, const Value& b) { return std::is_eq(a <=> b); }

 private:
  double OtherToDouble() const;

  std::variant<std::monostate, std::int32_t, double, std::string, Date> data_;
};

/// a \ b: both operands rounded half to even into the 32-bit range (else an overflow), quotient
/// truncated toward zero; a divisor of 0 is a division by zero.
Value IntDiv(const Value& a, const Value& b);
/// a Mod b with the operands rounded as for IntDiv; the remainder takes the dividend's sign.
Value Mod(const Value& a, const Value& b);
/// The largest whole number not above v: integers stay integers, other numbers become doubles.
Value Int(const Value& v);

/// Rounds half to even to a 32-bit integer; throws an overflow outside that range.
std::int32_t RoundToInt32(double d);
/// The one numeric text syntax of the system: surrounding blanks, an optional sign, digits with at
/// most one decimal point, an optional exponent. Nothing else; a magnitude beyond double is none.
std::optional<double> ParseNumber(std::string_view text);
/// The general number form: at most 15 significant digits, no trailing zeros, -0 as 0, exponent
/// form (1E-05, 1.5E+15) only where %G switches to it.
std::string FormatNumber(double d);

}  // namespace sheetora
