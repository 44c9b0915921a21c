#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/page_head.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::Fields;
using testing::PageHarness;

// Everything up to the body tag: all a failed conversion leaves in the response.
const std::string kHead = CrLf(R"(

<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>纸张克重价格换算工具--KorvaneV2.0</title>
<style type="text/css">
<!--
body {
	background-color: #eeeeee;
}
table{font-size:12px}
-->
</style></head>
<script language="JavaScript">
 <!--
　　if (window == top)top.location.href = "index.asp";
　// -->
</script>
<script language="JavaScript">
document.oncontextmenu=new Function("event.returnValue=false;");
document.onselectstart=new Function("event.returnValue=false;");
</script>
<body oncopy='return false' onbeforecopy='return false' onmouseup='return false'>
)");

using Rows = std::vector<std::string>;

class PaperPage : public ::testing::Test {
 protected:
  std::string Post(const Fields& form) { return harness_.Html("Sheetora.Class60", form); }

  // The value cells of the result table, in row order; none when the table is missing.
  Rows RowsOf(const Fields& form) {
    const std::string html = Post(form);
    Rows rows;
    for (std::size_t at = html.find("<tr>"); at != std::string::npos;
         at = html.find("<tr>", at + 1)) {
      const std::size_t value_cell = html.find("<td", html.find("</td>", at));
      const std::size_t start = html.find('>', value_cell) + 1;
      rows.push_back(html.substr(start, html.find("</td>", start) - start));
    }
    return rows;
  }

  PageHarness harness_;
};

// The menu's default post, with a grammage typed and the tonne price chosen.
Fields TonPricePost(std::string weight, std::string spec, std::string price) {
  return {{"PaperWeight", std::move(weight)},
          {"PaperSpec", std::move(spec)},
          {"CustomL", ""},
          {"CustomW", ""},
          {"PPriceType", "TonPrice"},
          {"TonPrice", std::move(price)}};
}

TEST_F(PaperPage, TonnePriceOnAStandardSizeIsByteExact) {
  EXPECT_EQ(Post(TonPricePost("157", "889*1194", "6000")), kHead + CrLf(R"(
<table width="300" height="217" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td width="108" align="right">千克/令:</td>
<td width="186">83.325081</td>
</tr>
<tr>
<td align="right">令/吨:</td>
<td>12.0011884536902</td>
</tr>
<tr>
<td align="right">张/吨:</td>
<td>6001</td>
</tr>
<tr>
<td align="right">元/M<sup>2</sup>:</td>
<td>0.942</td>
</tr>
<tr>
<td align="right">元/张:</td>
<td>0.999900972</td>
</tr>
<tr>
<td align="right">元/令:</td>
<td>499.950486</td>
</tr>
<tr>
<td align="right">元/吨:</td>
<td>6000</td>
</tr>
</table>
</body>
</html>
)"));
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(PaperPage, SquareMetrePriceKeepsTheLastDigitsOfItsOrderOfOperations) {
  EXPECT_EQ(RowsOf({{"PaperWeight", "80"},
                    {"PaperSpec", "787*1092"},
                    {"PPriceType", "M2Price"},
                    {"M2Price", "1.5"}}),
            (Rows{"34.37616", "29.089927438085", "14545", "1.5", "1.289106", "644.553", "18750"}));
}

// 1000 x 700 at 100 g/m² costs 0.5 a square metre, 0.35 a sheet, 175 a ream and 5000 a tonne:
// whichever of the four is given, the other three come out the same.
TEST_F(PaperPage, EveryPriceUnitGivesTheOtherThree) {
  const std::vector<std::pair<std::string, std::string>> given = {
      {"M2Price", "0.5"}, {"PiecePrice", "0.35"}, {"ReamPrice", "175"}, {"TonPrice", "5000"}};
  for (const auto& [type, price] : given) {
    SCOPED_TRACE(type);
    EXPECT_EQ(RowsOf({{"PaperWeight", "100"},
                      {"PaperSpec", "0"},
                      {"CustomL", "1000"},
                      {"CustomW", "700"},
                      {"PPriceType", type},
                      {type, price}}),
              (Rows{"35", "28.5714285714286", "14286", "0.5", "0.35", "175", "5000"}));
  }
}

TEST_F(PaperPage, SheetSizeComesFromTheChoiceOrOnlyFromTheCustomFields) {
  const Rows custom = RowsOf({{"PaperWeight", "100"},
                              {"PaperSpec", "0"},
                              {"CustomL", "1000"},
                              {"CustomW", "700"},
                              {"PPriceType", "TonPrice"},
                              {"TonPrice", "5000"}});
  // Parts after the second are ignored.
  EXPECT_EQ(RowsOf(TonPricePost("100", "1000*700*5", "5000")), custom);
  // A listed size ignores whatever the hidden custom fields hold.
  Fields listed = TonPricePost("157", "889*1194", "6000");
  listed[2].second = "abc";
  listed[3].second = "9999";
  EXPECT_EQ(RowsOf(listed), RowsOf(TonPricePost("157", "889*1194", "6000")));
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(PaperPage, AWholeSheetCountIsNotRoundedUpFurther) {
  // 1 m² at 100 g/m²: 50 kg a ream, 20 reams and exactly 10000 sheets a tonne.
  EXPECT_EQ(RowsOf(TonPricePost("100", "1000*1000", "1000"))[2], "10000");
}

TEST_F(PaperPage, GivenPriceRowShowsThePostedTextAsTyped) {
  const Rows rows = RowsOf(TonPricePost("157", "889*1194", "6000.00"));
  EXPECT_EQ(rows[6], "6000.00");
  EXPECT_EQ(rows[5], "499.950486");
  EXPECT_EQ(RowsOf(TonPricePost("157", "889*1194", " 6E3 "))[6], " 6E3 ");
}

TEST_F(PaperPage, NoKnownPriceTypeLeavesThePriceRowsEmpty) {
  const Rows expected = {"83.325081", "12.0011884536902", "6001", "", "", "", ""};
  Fields absent = {{"PaperWeight", "157"}, {"PaperSpec", "889*1194"}, {"TonPrice", "6000"}};
  EXPECT_EQ(RowsOf(absent), expected);
  // Names are compared exactly.
  absent.push_back({"PPriceType", "tonprice"});
  EXPECT_EQ(RowsOf(absent), expected);
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(PaperPage, AbsentPriceFieldCountsAsZero) {
  EXPECT_EQ(RowsOf({{"PaperWeight", "157"}, {"PaperSpec", "889*1194"}, {"PPriceType", "TonPrice"}}),
            (Rows{"83.325081", "12.0011884536902", "6001", "0", "0", "0", ""}));
}

TEST_F(PaperPage, FailureEndsTheResponseAfterTheHeadWithOneLogLine) {
  struct Case {
    Fields form;
    std::string log;
  };
  const std::string prefix = "\\Sheetora_Web\\Paper, AllTORVA: ";
  const std::vector<Case> cases = {
      {TonPricePost("0", "889*1194", "6000"), prefix + "Division by zero"},
      {{{"PaperSpec", "889*1194"}, {"PPriceType", "TonPrice"}, {"TonPrice", "1"}},
       prefix + "Division by zero"},
      {TonPricePost("", "889*1194", "6000"), prefix + "Type mismatch"},
      {TonPricePost("80g", "889*1194", "6000"), prefix + "Type mismatch"},
      {TonPricePost("157", "0", "6000"), prefix + "Type mismatch"},  // empty custom sides
      {TonPricePost("157", "889", "6000"), prefix + "Subscript out of range"},
      {TonPricePost("157", "", "6000"), prefix + "Subscript out of range"},
      {TonPricePost("157", "889*1194", "6000元"), prefix + "Type mismatch"},
      {TonPricePost("157", "889*1194", ""), prefix + "Type mismatch"},
  };
  for (const auto& c : cases) {
    PageHarness harness;
    const std::string html = harness.Html("Sheetora.Class60", c.form);
    EXPECT_EQ(html, kHead) << c.log;
    EXPECT_EQ(harness.LogLines(), std::vector<std::string>{c.log});
  }
}

TEST_F(PaperPage, SheetCountBeyondTheIntegerRangeLeavesItsRowEmpty) {
  // 1 mm² at 0.000001 g/m²: 2E+15 reams a tonne, 1E+18 sheets.
  const Rows rows = RowsOf(TonPricePost("0.000001", "1*1", "6000"));
  EXPECT_EQ(rows, (Rows{"5E-13", "2E+15", "", "6E-09", "6E-15", "3E-12", "6000"}));
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\Paper, UpNum: Overflow"});
}

}  // namespace
}  // namespace sheetora
