#include "host/routing_table.h"

#include <gtest/gtest.h>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

TEST(RoutingTable, RootServesTheFramesetAndPathsIgnoreCase) {
  EXPECT_EQ(FindPageClass("/"), "Sheetora.Class57");
  EXPECT_EQ(FindPageClass(""), "Sheetora.Class57");
  EXPECT_EQ(FindPageClass("/index.asp"), "Sheetora.Class57");
  EXPECT_EQ(FindPageClass("/PINBAN.ASP"), "Sheetora.Class61");
  EXPECT_EQ(FindPageClass("/copyright.asp"), "Sheetora.Class54");
  EXPECT_EQ(FindPageClass("/fuc.asp"), std::nullopt);
  EXPECT_EQ(FindPageClass("/Main.asp/"), std::nullopt);
  EXPECT_EQ(FindPageClass("/../Main.asp"), std::nullopt);
}

TEST(PageRunner, UnknownClassIsA404AndWritesNothing) {
  testing::PageHarness harness;
  const auto outcome = harness.Run("Sheetora.Class99");
  EXPECT_EQ(outcome.status, 404);
  EXPECT_EQ(outcome.response.body(), "");
}

}  // namespace
}  // namespace sheetora
