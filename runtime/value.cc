#include "runtime/value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/errors.h"

namespace sheetora {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// OLE-style day numbers, so that a date's number is the same as in the classic runtime.
constexpr int kDaysFrom1899To1970 = 25569;

double DateNumber(Value::Date d) {
  return static_cast<double>(d.time_since_epoch().count() + kDaysFrom1899To1970);
}

// A number as the arithmetic sees it: an integer stays exact, everything else is a double.
struct Number {
  bool is_integer;
  std::int64_t i;
  double d;
  double AsDouble() const { return is_integer ? static_cast<double>(i) : d; }
};

Number ToNumber(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kEmpty:
      return {true, 0, 0};
    case Value::Kind::kInteger:
      return {true, static_cast<std::int64_t>(v.ToDouble()), 0};
    default:
      return {false, 0, v.ToDouble()};
  }
}

Value CheckedDouble(double d) {
  if (!std::isfinite(d)) throw RuntimeError::Overflow();
  return Value(d);
}

// Integer results that leave the 32-bit range become doubles instead of failing.
Value FromInt64(std::int64_t i) {
  if (i >= std::numeric_limits<std::int32_t>::min() &&
      i <= std::numeric_limits<std::int32_t>::max()) {
    return Value(static_cast<std::int32_t>(i));
  }
  return Value(static_cast<double>(i));
}

template <typename IntOp, typename DoubleOp>
Value Arithmetic(const Value& a, const Value& b, IntOp int_op, DoubleOp double_op) {
  const Number x = ToNumber(a);
  const Number y = ToNumber(b);
  if (x.is_integer && y.is_integer) return FromInt64(int_op(x.i, y.i));
  return CheckedDouble(double_op(x.AsDouble(), y.AsDouble()));
}

bool IsNumberKind(Value::Kind k) {
  return k == Value::Kind::kEmpty || k == Value::Kind::kInteger || k == Value::Kind::kDouble ||
         k == Value::Kind::kDate;
}

}  // namespace

bool Value::IsNumeric() const {
  if (const auto* s = AsString()) return ParseNumber(*s).has_value();
  return true;
}

double Value::OtherToDouble() const {
  switch (kind()) {
    case Kind::kEmpty:
      return 0;
    case Kind::kInteger:
      return std::get<std::int32_t>(data_);
    case Kind::kDouble:
      return std::get<double>(data_);
    case Kind::kDate:
      return DateNumber(std::get<Date>(data_));
    case Kind::kString:
      if (auto n = ParseNumber(std::get<std::string>(data_))) return *n;
      throw RuntimeError::TypeMismatch();
  }
  throw RuntimeError::TypeMismatch();
}

std::string Value::Text() const {
  switch (kind()) {
    case Kind::kEmpty:
      return {};
    case Kind::kInteger:
      return std::to_string(std::get<std::int32_t>(data_));
    case Kind::kDouble:
      return FormatNumber(std::get<double>(data_));
    case Kind::kString:
      return std::get<std::string>(data_);
    case Kind::kDate: {
      const std::chrono::year_month_day ymd(std::get<Date>(data_));
      char buf[32];
      std::snprintf(buf, sizeof buf, "%d-%02u-%02u", static_cast<int>(ymd.year()),
                    static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
      return buf;
    }
  }
  return {};
}

Value operator+(const Value& a, const Value& b) {
  // A date moves by whole days and stays a date.
  if (a.kind() == Value::Kind::kDate && IsNumberKind(b.kind()) && b.kind() != Value::Kind::kDate) {
    return Value(std::get<Value::Date>(a.data_) + std::chrono::days(RoundToInt32(b.ToDouble())));
  }
  return Arithmetic(
      a, b, [](std::int64_t x, std::int64_t y) { return x + y; },
      [](double x, double y) { return x + y; });
}

Value operator-(const Value& a, const Value& b) {
  return Arithmetic(
      a, b, [](std::int64_t x, std::int64_t y) { return x - y; },
      [](double x, double y) { return x - y; });
}

Value operator*(const Value& a, const Value& b) {
  return Arithmetic(
      a, b, [](std::int64_t x, std::int64_t y) { return x * y; },
      [](double x, double y) { return x * y; });
}

Value operator/(const Value& a, const Value& b) {
  const double x = a.ToDouble();
  const double y = b.ToDouble();
  if (y == 0) {
    if (x == 0 || std::isnan(x)) throw RuntimeError::Overflow();
    throw RuntimeError::DivisionByZero();
  }
  return CheckedDouble(x / y);
}

std::partial_ordering operator<=>(const Value& a, const Value& b) {
  const auto* sa = a.AsString();
  const auto* sb = b.AsString();
  if (sa && sb) return *sa <=> *sb;
  // Empty against text is the empty text.
  if (sa && b.IsEmpty()) return *sa <=> std::string();
  if (sb && a.IsEmpty()) return std::string() <=> *sb;
  return a.ToDouble() <=> b.ToDouble();
}

std::int32_t RoundToInt32(double d) {
  const double r = std::nearbyint(d);  // the default rounding mode: halves to even
  if (!(r >= std::numeric_limits<std::int32_t>::min() &&
        r <= std::numeric_limits<std::int32_t>::max())) {
    throw RuntimeError::Overflow();
  }
  return static_cast<std::int32_t>(r);
}

Value IntDiv(const Value& a, const Value& b) {
  const std::int64_t x = RoundToInt32(a.ToDouble());
  const std::int64_t y = RoundToInt32(b.ToDouble());
  if (y == 0) throw RuntimeError::DivisionByZero();
  return FromInt64(x / y);  // -2^31 \ -1 leaves the range and becomes a double
}

Value Mod(const Value& a, const Value& b) {
  const std::int64_t x = RoundToInt32(a.ToDouble());
  const std::int64_t y = RoundToInt32(b.ToDouble());
  if (y == 0) throw RuntimeError::DivisionByZero();
  return FromInt64(x % y);
}

Value Int(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kEmpty:
      return Value(0);
    case Value::Kind::kInteger:
    case Value::Kind::kDate:
      return v;
    default:
      return Value(std::floor(v.ToDouble()));
  }
}

std::optional<double> ParseNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would accept "inf", "nan" and hex forms; check the plain syntax first.
  std::size_t pos = 0;
  std::size_t digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    std::size_t exponent_digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos, ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (pos != text.size()) return std::nullopt;
  // strtod reads the plain syntax checked above the same in every locale that uses '.'.
  const std::string digits_text(text);
  const double d = std::strtod(digits_text.c_str(), nullptr);
  if (!std::isfinite(d)) return std::nullopt;  // beyond double: holds no number
  return negative ? -d : d;
}

namespace {

// The text that "%G" gives for a number with these significant digits (no trailing zeros) and
// this decimal exponent: plain for exponents -4 to 14, else D.DDDE+XX.
std::string GeneralForm(bool negative, std::string_view digits, int exponent) {
  std::string text(negative ? "-" : "");
  if (exponent < -4 || exponent >= 15) {
    text.append(digits.substr(0, 1));
    if (digits.size() > 1) text.append(".").append(digits.substr(1));
    char buf[8];
    const int magnitude = exponent < 0 ? -exponent : exponent;
    text.append(exponent < 0 ? "E-" : "E+").append(magnitude < 10 ? "0" : "");
    return text.append(buf, std::to_chars(buf, buf + sizeof buf, magnitude).ptr);
  }
  if (exponent < 0) {
    return text.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
  }
  const auto point = static_cast<std::size_t>(exponent) + 1;
  if (digits.size() <= point) return text.append(digits).append(point - digits.size(), '0');
  return text.append(digits.substr(0, point)).append(".").append(digits.substr(point));
}

}  // namespace

std::string FormatNumber(double d) {
  if (d == 0) return "0";
  char buf[40];
  // A result page writes a dozen numbers, most of them whole: below 10^15 a whole number has at
  // most 15 digits and "%.15G" writes it in plain digits.
  if (std::fabs(d) < 1e15 && std::trunc(d) == d) {
    return {buf, std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(d)).ptr};
  }
  if (std::isnormal(d)) {
    // The shortest digits S that read back as d (at most 17), cheap to find. S lies within half
    // a unit of d's last bit, a small part of the 15-digit grid's step, and no 16-digit midpoint
    // of that grid lies strictly between S and d: it would read back as d with fewer digits
    // than S, or as many but closer. So rounding S to 15 digits rounds d, unless S is such a
    // midpoint itself.
    char* end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific).ptr;
    char* exponent_mark = std::find(+buf, end, 'e');  // [-]D[.DDD]e(+|-)XX
    int exponent = 0;
    std::from_chars(exponent_mark + (exponent_mark[1] == '+' ? 2 : 1), end, exponent);
    const bool negative = buf[0] == '-';
    char digits[24];
    char* digits_end = std::remove_copy(buf + (negative ? 1 : 0), exponent_mark, digits, '.');
    if (digits_end - digits > 15) {
      const std::string_view tail(digits + 15, digits_end);
      const bool midpoint = tail == "5" || tail == "50";
      digits_end = digits + 15;
      if (!midpoint && tail[0] >= '5') {
        char* carry = digits_end;
        while (carry != digits && carry[-1] == '9') *--carry = '0';
        if (carry == digits) {  // 999... became 1000...
          digits[0] = '1';
          ++exponent;
        } else {
          ++carry[-1];
        }
      }
      if (midpoint) digits_end = nullptr;
    }
    if (digits_end != nullptr) {
      while (digits_end - digits > 1 && digits_end[-1] == '0') --digits_end;
      return GeneralForm(negative, std::string_view(digits, digits_end), exponent);
    }
  }
  // Infinities, NaNs, subnormals and midpoints: the text of printf's "%.15G", which to_chars gives
  // in lower case, at several times the cost.
  char* end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15).ptr;
  std::string text(buf, end);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace sheetora
