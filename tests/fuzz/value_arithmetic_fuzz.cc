// Page value arithmetic on any two values: a result or a run-time error, never a crash, a
// non-finite number or an integer that silently wrapped.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>

#include "runtime/errors.h"
#include "runtime/value.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using sheetora::RuntimeError;
using sheetora::Value;

Value MakeValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
      return {};
    case 1:
      return Value(in.ConsumeIntegral<std::int32_t>());
    case 2: {
      const double d = in.ConsumeFloatingPoint<double>();
      return Value(std::isfinite(d) ? d : 0.0);
    }
    case 3:  // small doubles with fractions, where rounding and halves matter
      return Value(in.ConsumeIntegralInRange(-4000, 4000) / 8.0);
    case 4:  // dates the pages make: today give or take a few centuries
      return Value(Value::Date(std::chrono::days(in.ConsumeIntegralInRange(-100000, 100000))));
    default:
      return Value(in.ConsumeRandomLengthString(40));
  }
}

// A number the arithmetic sees; empty counts as 0.
bool IsWhole(const Value& v) {
  return v.kind() == Value::Kind::kEmpty || v.kind() == Value::Kind::kInteger;
}

void CheckResult(const Value& r) {
  if (r.kind() == Value::Kind::kDouble) FUZZ_CHECK(std::isfinite(r.ToDouble()));
  const std::string text = r.Text();  // every result has a text form
  if (r.kind() == Value::Kind::kInteger || r.kind() == Value::Kind::kDouble) {
    FUZZ_CHECK(sheetora::ParseNumber(text).has_value() || std::fabs(r.ToDouble()) > 1.7e308);
  }
}

template <typename Op>
void Apply(Op op) {
  try {
    CheckResult(op());
  } catch (const RuntimeError& e) {
    // Only the errors of the language: overflow, division by zero, type mismatch.
    FUZZ_CHECK(e.number() == 6 || e.number() == 11 || e.number() == 13);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  const Value a = MakeValue(in);
  const Value b = MakeValue(in);

  Apply([&] { return a + b; });
  Apply([&] { return a - b; });
  Apply([&] { return a * b; });
  Apply([&] { return a / b; });
  Apply([&] { return sheetora::IntDiv(a, b); });
  Apply([&] { return sheetora::Mod(a, b); });
  Apply([&] { return sheetora::Int(a); });

  // Whole numbers stay exact: an integer result is the true one, and a result beyond 32 bits
  // widens to a double instead of wrapping.
  if (IsWhole(a) && IsWhole(b)) {
    const auto x = static_cast<std::int64_t>(a.ToDouble());
    const auto y = static_cast<std::int64_t>(b.ToDouble());
    for (const auto& [r, exact] : {std::pair{a + b, x + y}, {a - b, x - y}, {a * b, x * y}}) {
      FUZZ_CHECK(r.ToDouble() == static_cast<double>(exact));
      FUZZ_CHECK((r.kind() == Value::Kind::kInteger) ==
                 (exact == static_cast<std::int32_t>(exact)));
    }
  }

  // Comparison is antisymmetric, whatever the kinds.
  try {
    const auto ab = a <=> b;
    const auto ba = b <=> a;
    FUZZ_CHECK((ab < 0) == (ba > 0) && (ab == 0) == (ba == 0));
  } catch (const RuntimeError& e) {
    FUZZ_CHECK(e.number() == 13);
  }
  return 0;
}
