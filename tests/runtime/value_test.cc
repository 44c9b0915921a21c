#include "runtime/value.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>

#include "runtime/errors.h"

namespace sheetora {
namespace {

int ErrorNumber(auto&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.number();
  }
  return 0;
}

constexpr int kOverflow = 6, kDivisionByZero = 11, kTypeMismatch = 13;

TEST(ValueText, GeneralNumberFormMatchesThePagesFigures) {
  struct Case {
    Value value;
    const char* text;
  } cases[] = {
      {Value(1050.0) * Value(400) / Value(1092), "384.615384615385"},
      {Value(400) - Value(358.97435897435895), "41.0256410256411"},
      {Value(1000) / Value(83.325081), "12.0011884536902"},
      {Value(400.0) / Value(1092) * Value(1.2) * Value(1092), "480"},
      {Value(0.1) + Value(0.2), "0.3"},
      {Value(1e-5), "1E-05"},
      {Value(0.0001), "0.0001"},
      {Value(1.5e15), "1.5E+15"},
      {Value(123456789012345.0), "123456789012345"},
      {Value(-0.0), "0"},
      {Value(-2.5), "-2.5"},
      {Value(35), "35"},
      {Value(-7), "-7"},
      {Value(), ""},
      {Value("6000.00"), "6000.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value.Text(), c.text);
}

// The text form takes shortcuts for whole numbers and short decimals; every double must still
// read as printf's "%.15G".
TEST(ValueText, AgreesWithPrintfOnManyDoubles) {
  std::mt19937_64 random(7);
  const auto check = [](double d) {
    char expected[40] = "0";
    if (d != 0) std::snprintf(expected, sizeof expected, "%.15G", d);
    ASSERT_EQ(FormatNumber(d), expected) << std::hexfloat << d;
  };
  for (int n = 0; n < 100000; ++n) {
    const auto bits = random();
    const double ratio = static_cast<double>(bits % 100000) / static_cast<double>(bits % 997 + 1);
    check(std::bit_cast<double>(bits));
    check(ratio);
    check(-ratio * 0.001);
    check(static_cast<double>(bits >> (bits % 64)));
    check(std::ldexp(static_cast<double>(bits % 1000003), static_cast<int>(bits % 80) - 60));
  }
  // Edges of the plain form, carries through nines, and 16-digit midpoints of the 15-digit grid.
  for (const double d : {1e15, 1e15 - 1, 1e15 + 0.5, 999999999999999.9, 0.0001, 0.00001, 1e-4 * 3,
                         std::nextafter(1.0, 0.0), std::nextafter(1e15, 0.0), 0.1 + 0.2, 1.0 / 3,
                         1.000000000000005, 0.1234567890123455, 2.000000000000015, 5e-324}) {
    check(d);
    check(-d);
  }
}

TEST(ValueArithmetic, EmptyCountsAsZeroAndNumericTextAsItsNumber) {
  EXPECT_EQ((Value() * Value(5)).Text(), "0");
  EXPECT_EQ((Value("12.5") + Value(1)).Text(), "13.5");
  EXPECT_EQ((Value(" 889 ") * Value("1194")).Text(), "1061466");
  EXPECT_EQ((Value(7) / Value(2)).kind(), Value::Kind::kDouble);
  EXPECT_EQ((Value(7) * Value(2)).kind(), Value::Kind::kInteger);
  EXPECT_EQ((Value(7) * Value(2.0)).kind(), Value::Kind::kDouble);
}

TEST(ValueArithmetic, IntegerOverflowWidensToDouble) {
  const Value sum = Value(2147483647) + Value(1);
  EXPECT_EQ(sum.kind(), Value::Kind::kDouble);
  EXPECT_EQ(sum.Text(), "2147483648");
  EXPECT_EQ((Value(65536) * Value(65536)).Text(), "4294967296");
}

TEST(ValueArithmetic, FailuresCarryTheClassicNumbers) {
  EXPECT_EQ(ErrorNumber([] { return Value("abc") * Value(1); }), kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { return Value("") + Value(1); }), kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { return Value("12mm") - Value(1); }), kTypeMismatch);
  EXPECT_EQ(ErrorNumber([] { return Value(5) / Value(0); }), kDivisionByZero);
  EXPECT_EQ(ErrorNumber([] { return Value(0) / Value(); }), kOverflow);
  EXPECT_EQ(ErrorNumber([] { return Value(1e308) * Value(10); }), kOverflow);
}

TEST(ValueIntDiv, RoundsOperandsHalfToEvenThenTruncates) {
  struct Case {
    Value a, b;
    const char* text;
  } cases[] = {
      {Value(1092), Value(210), "5"},    {Value(7.5), Value(2), "4"},  // 8 \ 2
      {Value(6.5), Value(2), "3"},       {Value(-7), Value(2), "-3"},  // 6 \ 2; toward zero
      {Value(2.5), Value(1.5), "1"},     {Value(0.4), Value(1), "0"},  // 2 \ 2; 0 \ 1
      {Value("787"), Value("140"), "5"}, {Value(), Value(3), "0"},
  };
  for (const auto& c : cases) EXPECT_EQ(IntDiv(c.a, c.b).Text(), c.text);
  EXPECT_EQ(IntDiv(Value(7), Value(2)).kind(), Value::Kind::kInteger);
}

TEST(ValueIntDiv, FailsOnZeroDivisorAndOutOfRangeOperands) {
  EXPECT_EQ(ErrorNumber([] { return IntDiv(Value(5), Value(0)); }), kDivisionByZero);
  EXPECT_EQ(ErrorNumber([] { return IntDiv(Value(5), Value(0.4)); }), kDivisionByZero);
  EXPECT_EQ(ErrorNumber([] { return IntDiv(Value(2147483648.0), Value(1)); }), kOverflow);
  EXPECT_EQ(ErrorNumber([] { return IntDiv(Value(1), Value(-2147483649.0)); }), kOverflow);
  EXPECT_EQ(ErrorNumber([] { return IntDiv(Value("x"), Value(1)); }), kTypeMismatch);
  EXPECT_EQ(IntDiv(Value(2147483647.4), Value(1)).Text(), "2147483647");
  EXPECT_EQ(IntDiv(Value(-2147483648.0), Value(-1)).Text(), "2147483648");
}

TEST(ValueIntAndMod, FloorAndRemainder) {
  EXPECT_EQ(Int(Value(787.9)).Text(), "787");
  EXPECT_EQ(Int(Value(-2.5)).Text(), "-3");
  EXPECT_EQ(Int(Value("0.5")).Text(), "0");
  EXPECT_EQ(Int(Value()).Text(), "0");
  EXPECT_EQ(Int(Value(5)).kind(), Value::Kind::kInteger);
  EXPECT_EQ(Mod(Value(5), Value(2)).Text(), "1");
  EXPECT_EQ(Mod(Value(-5), Value(2)).Text(), "-1");
  EXPECT_EQ(Mod(Value(4), Value(2)).Text(), "0");
}

TEST(ValueCompare, NumbersByValueTextByBytes) {
  EXPECT_TRUE(Value(2) < Value(10.5));
  EXPECT_TRUE(Value("10") > Value(9));    // numeric text against a number compares numbers
  EXPECT_TRUE(Value("10") < Value("9"));  // two texts compare as text
  EXPECT_TRUE(Value() == Value(""));
  EXPECT_TRUE(Value() == Value(0));
  EXPECT_TRUE(Value("MaxP") != Value("maxp"));
  EXPECT_TRUE(Value(3) == Value(3.0));
  EXPECT_EQ(ErrorNumber([] { return Value("abc") > Value(0); }), kTypeMismatch);
}

TEST(ParseNumber, AcceptsThePlainSyntaxOnly) {
  struct Case {
    const char* text;
    std::optional<double> number;
  } cases[] = {
      {"12.5", 12.5}, {"  12.5 ", 12.5}, {"+3", 3},     {"-0", 0},     {"1e3", 1000},
      {".5", 0.5},    {"5.", 5},         {"1E-2", .01}, {"007", 7},    {"1e-400", 0},
      {"", {}},       {" ", {}},         {"1,000", {}}, {"$5", {}},    {"0x10", {}},
      {"inf", {}},    {"NaN", {}},       {"1e", {}},    {"1e400", {}}, {"1.2.3", {}},
      {"12mm", {}},   {"- 1", {}},       {".", {}},     {"１２", {}},  {"1 2", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseNumber(c.text), c.number) << c.text;
}

TEST(RoundToInt32, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundToInt32(2.5), 2);
  EXPECT_EQ(RoundToInt32(3.5), 4);
  EXPECT_EQ(RoundToInt32(-2.5), -2);
  EXPECT_EQ(RoundToInt32(0.49999999999999994), 0);
  EXPECT_EQ(RoundToInt32(-2147483648.4), -2147483647 - 1);
  EXPECT_EQ(ErrorNumber([] { return RoundToInt32(2147483647.5); }), kOverflow);
}

TEST(ValueDate, MovesByWholeDays) {
  using namespace std::chrono;
  const Value d(sys_days(year(2026) / 12 / 7));
  EXPECT_EQ((d + Value(360)).Text(), "2027-12-02");
}

}  // namespace
}  // namespace sheetora
