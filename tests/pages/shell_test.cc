#include <gtest/gtest.h>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

TEST(Frameset, IsByteExact) {
  PageHarness harness;
  EXPECT_EQ(testing::Gb2312(harness.Html("Sheetora.Class57")), testing::Golden("index.asp.golden"));
}

TEST(Frameset, ReadsNothingFromTheRequest) {
  PageHarness harness;
  EXPECT_EQ(harness.Html("Sheetora.Class57", {{"PaperL", "<b>"}}, {{"PinBan", "PL", "1"}}),
            harness.Html("Sheetora.Class57"));
}

TEST(WelcomeAndAboutPages, AreByteExactAndReadNothingFromTheRequest) {
  PageHarness harness;
  for (const auto& [class_name, golden] : {std::pair{"Sheetora.Class59", "Main.asp.golden"},
                                           std::pair{"Sheetora.Class54", "CopyRight.asp.golden"}}) {
    EXPECT_EQ(testing::Gb2312(harness.Html(class_name, {{"x", "<b>"}}, {{"PinBan", "PL", "1"}})),
              testing::Golden(golden))
        << class_name;
  }
}

}  // namespace
}  // namespace sheetora
