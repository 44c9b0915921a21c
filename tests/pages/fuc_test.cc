#include "pages/fuc.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "runtime/errors.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

// Calls one shared function on a page that includes them, with a given post.
class FucFixture : public ::testing::Test {
 protected:
  class Host final : public SharedFunctions {
   public:
    Host() : SharedFunctions("PinBan") {}
    void AllTORVA() override {}
  };

  Value MyRequestOf(const std::string& name, std::optional<std::string> posted) {
    testing::Fields form;
    if (posted) form.emplace_back(name, *posted);
    Value result;
    outcome_ = harness_.RunWith([&] { result = Host().MyRequest(Value(name)); }, form);
    return result;
  }

  template <typename F>
  auto OnPage(F f) {
    std::invoke_result_t<F, Host&> result{};
    outcome_ = harness_.RunWith([&] {
      Host page;
      result = f(page);
    });
    return result;
  }

  bool ended() const { return outcome_.response.ended(); }

  PageHarness harness_;
  PageOutcome outcome_;
};

TEST_F(FucFixture, MyRequestReadsEmptyAndAbsentAsIntegerZero) {
  for (const auto& posted : std::vector<std::optional<std::string>>{std::nullopt, "", "   "}) {
    const Value v = MyRequestOf("PaperL", posted);
    EXPECT_EQ(v.kind(), Value::Kind::kInteger);
    EXPECT_EQ(v.Text(), "0");
  }
}

TEST_F(FucFixture, MyRequestReadsNumbersAsDoubles) {
  const Value v = MyRequestOf("PaperL", " 12.5 ");
  EXPECT_EQ(v.kind(), Value::Kind::kDouble);
  EXPECT_EQ(v.Text(), "12.5");
  EXPECT_EQ(MyRequestOf("PaperL", "0").kind(), Value::Kind::kDouble);
  EXPECT_FALSE(ended());
}

TEST_F(FucFixture, MyRequestEndsThePageWithTheAlertNamingFieldAndInput) {
  MyRequestOf("PL", " 12mm ");
  EXPECT_TRUE(ended());
  EXPECT_EQ(outcome_.response.body(),
            "<script language=\"javascript\">\r\n"
            "alert(\"请检查所填写项目是否为数字!  错误代码:PL  错误输入:12mm\")\r\n"
            "window.history.back(-1)\r\n</script>");
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(FucFixture, SwapOrdersOrExchangesOnDemand) {
  OnPage([](SharedFunctions& page) {
    Value a(3), b(5);
    page.Swap(a, b, Value(0));
    EXPECT_EQ(a.Text() + "," + b.Text(), "5,3");
    page.Swap(a, b, Value(0));
    EXPECT_EQ(a.Text() + "," + b.Text(), "5,3");
    page.Swap(a, b, Value(1));
    EXPECT_EQ(a.Text() + "," + b.Text(), "3,5");
    Value c(4), d(4.0);
    page.Swap(c, d, Value(1));
    EXPECT_EQ(c.kind(), Value::Kind::kDouble);  // even equal values change places
    return 0;
  });
}

TEST_F(FucFixture, UpNumIsTheCeiling) {
  OnPage([](SharedFunctions& page) {
    struct Case {
      Value in;
      const char* out;
    } cases[] = {{Value(2.3), "3"},   {Value(2.5), "3"},   {Value(2.7), "3"},      {Value(3), "3"},
                 {Value(-2.5), "-2"}, {Value(-2.7), "-2"}, {Value(0.0001), "1"},   {Value(4), "4"},
                 {Value("abc"), "0"}, {Value(), "0"},      {Value("6000"), "6000"}};
    for (const auto& c : cases) EXPECT_EQ(page.UpNum(c.in).Text(), c.out) << c.in.Text();
    return 0;
  });
}

TEST_F(FucFixture, UpNumOverflowIsTrappedAndLoggedUnderTheIncludingPage) {
  const Value result = OnPage([](SharedFunctions& page) { return page.UpNum(Value(3e9)); });
  EXPECT_TRUE(result.IsEmpty());
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\PinBan, UpNum: Overflow"});
}

TEST(Class55, WritesTheIncludedLineEndOnly) {
  PageHarness harness;
  EXPECT_EQ(harness.Html("Sheetora.Class55"), "\r\n");
}

}  // namespace
}  // namespace sheetora
