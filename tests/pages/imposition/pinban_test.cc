#include "pages/imposition/pinban.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>

#include "pages/page_head.h"
#include "runtime/errors.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::Fields;
using testing::PageHarness;

constexpr std::string_view kPage = "Sheetora.Class61";

// A post of the menu's imposition form; by default the worked example in mode "HP".
struct Form {
  std::string PaperL = "1092", PaperW = "787", PL = "210", PW = "140", BigSmall = "1";
  std::string PaiLie = "HP";
  std::optional<std::string> FanBan = "1";  // the menu disables it, so omits it, for "MaxP"
  std::optional<std::string> Submit = "查看开版拼版图";

  Fields fields() const {
    Fields f = {{"PaperL", PaperL}, {"PaperW", PaperW},     {"PL", PL},
                {"PW", PW},         {"BigSmall", BigSmall}, {"PaiLie", PaiLie}};
    if (FanBan) f.emplace_back("FanBan", *FanBan);
    if (Submit) f.emplace_back("Submit", *Submit);
    return f;
  }
};

// What errmsg answers: the alert and the step back, nothing else.
std::string Alert(std::string_view message) {
  return "<script language=\"javascript\">\r\nalert(\"" + std::string(message) +
         "\")\r\nwindow.history.back(-1)\r\n</script>";
}

// The text between the first `before` and the next `after`.
std::string Between(const std::string& html, std::string_view before, std::string_view after) {
  const auto start = html.find(before);
  if (start == std::string::npos) return "<missing " + std::string(before) + ">";
  const auto from = start + before.size();
  return html.substr(from, html.find(after, from) - from);
}

std::string Ups(const std::string& html) { return Between(html, "<th width=\"70\">", "</th>"); }
std::string Utilisation(const std::string& html) {
  return Between(html, "<th width=\"84\">", "</th>");
}
// The sheet frame's start tag.
std::string Frame(const std::string& html) { return Between(html, "<br>\r\n", "\r\n"); }

std::size_t Count(const std::string& html, std::string_view what) {
  std::size_t n = 0;
  for (auto at = html.find(what); at != std::string::npos; at = html.find(what, at + 1)) ++n;
  return n;
}

std::chrono::sys_days LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::chrono::year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday;
}

class ImpositionPage : public ::testing::Test {
 protected:
  std::string Html(const Form& form) { return harness_.Html(kPage, form.fields()); }
  PageOutcome Post(const Form& form) { return harness_.Run(kPage, form.fields()); }

  // Runs the page for the post and keeps it, so that its page variables can be read.
  const Class61& Calculate(const Form& form) {
    harness_.Run(page_, form.fields());
    return page_;
  }

  PageHarness harness_;
  Class61 page_;
};

TEST_F(ImpositionPage, HorizontalWorkedExampleIsByteExact) {
  const PageOutcome outcome = Post({});
  EXPECT_EQ(outcome.status, 200);
  EXPECT_EQ(testing::Gb2312(outcome.response.body()),
            testing::Golden("PinBan-HP-1092x787-210x140.golden"));
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(ImpositionPage, WithoutSubmitOnlyTheHeadIsWrittenAndTheCookieStillIs) {
  const PageOutcome outcome = Post({.PaiLie = "MaxP", .Submit = std::nullopt});
  const std::string& html = outcome.response.body();
  EXPECT_TRUE(html.starts_with("\r\n\r\n\r\n\r\n<!DOCTYPE"));
  EXPECT_TRUE(html.ends_with(
      CrLf(R"(<body oncopy='return false' onbeforecopy='return false' onmouseup='return false'>
<!--include file="CopyRight.asp"-->
</body>
</html>
)"))) << html;
  EXPECT_EQ(Count(html, "<table"), 0u);
  EXPECT_EQ(Count(html, "OBJECT"), 0u);
  ASSERT_EQ(outcome.response.cookies().count("PinBan"), 1u);
  EXPECT_EQ(Post({.Submit = ""}).response.body(), html);  // posted empty counts as absent
}

TEST_F(ImpositionPage, CookieHoldsTheNormalisedSizesForAYear) {
  const auto outcome = Post({.PaperL = "787.9", .PaperW = "1092", .PL = "140", .PW = "210.5"});
  const ResponseCookie& cookie = outcome.response.cookies().at("PinBan");
  using Subkeys = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(cookie.subkeys,
            (Subkeys{{"PaperL", "1092"}, {"PaperW", "787"}, {"PL", "210"}, {"PW", "140"}}));
  ASSERT_TRUE(cookie.expires.has_value());
  const auto expected = LocalToday() + std::chrono::days(360);
  // A run across local midnight may see the next day.
  EXPECT_TRUE(*cookie.expires == expected || *cookie.expires == expected + std::chrono::days(1));
}

TEST_F(ImpositionPage, SizesAreFlooredAndOrderedWhateverWayTheyWereTyped) {
  const std::string html = Html({});
  EXPECT_EQ(Html({.PaperW = "787.9"}), html);
  EXPECT_EQ(Html({.PaperL = "787", .PaperW = "1092", .PL = "140", .PW = "210"}), html);
  EXPECT_EQ(Html({.PaperL = "787.99", .PaperW = "1092.5", .PL = "140", .PW = "210.9"}), html);
}

TEST_F(ImpositionPage, InputErrorsAlertAndStopWithoutLogging) {
  struct Case {
    Form form;
    std::string message;
    bool cookie_written;
  } cases[] = {
      {{.PaperL = ""}, "填写错误!", false},
      {{.PW = "   "}, "填写错误!", false},
      {{.BigSmall = ""}, "填写错误!", false},
      {{.BigSmall = "0"}, "填写错误!", false},
      // clang-format off
      {{.PaperW = "abc", .PL = "x"}, "请检查所填写项目是否为数字!  错误代码:PaperW  错误输入:abc", false},
      {{.BigSmall = "1.2x"}, "请检查所填写项目是否为数字!  错误代码:BigSmall  错误输入:1.2x", false},
      // clang-format on
      // A size below 1 passes the first check and floors to 0.
      {{.PW = "0.5"}, "填写有误!", true},
      {{.PL = "-210"}, "填写有误!", true},
      {{.BigSmall = "-1"}, "填写有误!", true},
      {{.PL = "1100"}, "成品太大了!", true},
      {{.PL = "800", .PW = "788"}, "成品太大了!", true},
  };
  for (const auto& c : cases) {
    const PageOutcome outcome = Post(c.form);
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.response.body(), Alert(c.message)) << c.message;
    EXPECT_TRUE(outcome.response.ended());
    EXPECT_EQ(outcome.response.cookies().count("PinBan"), c.cookie_written ? 1u : 0u) << c.message;
  }
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(ImpositionPage, EverySizeMustBePositiveNotOnlyTheirProduct) {
  // An even number of negative sizes keeps the product positive; they counted nonsense, and the
  // last case ran the two-block search for seconds.
  // clang-format off
  for (const Form& form : {Form{.PL = "-210", .PW = "-140"},
                           Form{.PL = "-210", .BigSmall = "-1"},
                           Form{.PL = "-210", .BigSmall = "-1", .PaiLie = "HSP"},
                           Form{.PL = "-210", .PW = "-140", .PaiLie = "MaxP"},
                           Form{.PW = "-140", .BigSmall = "-1", .PaiLie = "MaxP"},
                           Form{.PaperL = "400000000", .PaperW = "-5", .PL = "1", .PW = "-10", .PaiLie = "MaxP"},
                           Form{.PaperL = "2147483647", .PaperW = "-5", .PL = "1", .PW = "-10", .PaiLie = "MaxP"}}) {
    // clang-format on
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Post(form).response.body(), Alert("填写有误!")) << form.PaperL << " " << form.PW;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
  // A piece exactly as large as the sheet fits.
  EXPECT_EQ(Ups(Html({.PL = "1092", .PW = "787"})), "1");
}

TEST_F(ImpositionPage, RunTimeErrorIsLoggedAndEndsThePageQuietly) {
  // The grid count of a sheet beyond the whole-number range overflows before anything is written.
  const PageOutcome outcome = Post({.PaperL = "3000000000"});
  EXPECT_EQ(outcome.status, 200);
  EXPECT_EQ(outcome.response.body(), "");
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\PinBan, AllTORVA: Overflow"});
}

TEST_F(ImpositionPage, ModesOnTheWorkedExample) {
  struct Case {
    Form form;
    const char* ups;
    const char* utilisation;
    const char* title;  // the single block's rows and columns
  } cases[] = {
      // clang-format off
      {{.PaiLie = "HP"}, "25", "85.52%", "5行5列"},
      {{.PaiLie = "SP"}, "21", "71.84%", "3行7列"},
      {{.PaiLie = "HSP"}, "25", "85.52%", "5行5列"},
      {{.PL = "300", .PW = "200", .PaiLie = "HSP"}, "10", "69.82%", "2行5列"},  // vertical wins
      // A tie goes to the horizontal grid.
      {{.PaperL = "400", .PaperW = "400", .PL = "200", .PW = "100", .PaiLie = "HSP"}, "8", "100.00%", "4行2列"},
      {{.PaiLie = "HP", .FanBan = "2"}, "20", "68.42%", "4行5列"},
      {{.PaiLie = "HP", .FanBan = "3"}, "20", "68.42%", "5行4列"},
      {{.PaiLie = "SP", .FanBan = "2"}, "14", "47.89%", "2行7列"},
      {{.PaiLie = "SP", .FanBan = "3"}, "18", "61.58%", "3行6列"},
      {{.PL = "600", .PW = "300", .PaiLie = "HSP", .FanBan = "3"}, "2", "41.89%", "1行2列"},
      {{.PL = "100", .PW = "100", .PaiLie = "MaxP"}, "70", "81.45%", "7行10列"},
      // clang-format on
  };
  for (const auto& c : cases) {
    const std::string html = Html(c.form);
    EXPECT_EQ(Ups(html), c.ups) << c.form.PaiLie << " " << c.title;
    EXPECT_EQ(Utilisation(html), c.utilisation) << c.form.PaiLie << " " << c.title;
    EXPECT_NE(Frame(html).find(std::string(" title=\"") + c.title + "\" "), std::string::npos)
        << Frame(html);
  }
}

TEST_F(ImpositionPage, VerticalGridTurnsThePiece) {
  const Class61& page = Calculate({.PaiLie = "SP"});
  EXPECT_EQ(page.LastTabCol.Text(), "7");
  EXPECT_EQ(page.LastTabRow.Text(), "3");
  EXPECT_EQ(page.LastTabW.Text(), "358.974358974359");  // 7 x 140 mm
  EXPECT_EQ(page.LastTabH.Text(), "230.769230769231");  // 3 x 210 mm
  EXPECT_TRUE(page.Pic.IsEmpty());
}

TEST_F(ImpositionPage, PlateMethodAndFitMessages) {
  struct Case {
    Form form;
    const char* message;
  } cases[] = {
      {{.PL = "500", .PW = "400", .FanBan = "2"}, "横排不能天地翻！"},  // one row only
      {{.PL = "600", .PW = "100", .FanBan = "3"}, "横排不能自翻版！"},  // one column only
      {{.PL = "900", .PW = "100", .PaiLie = "SP", .FanBan = "1"}, "不能竖排！"},
      {{.PL = "900", .PW = "100", .PaiLie = "SP", .FanBan = "2"}, "横排不能天地翻！"},
      {{.PL = "900", .PW = "100", .PaiLie = "SP", .FanBan = "3"}, "横排不能自翻版！"},
      {{.PL = "500", .PW = "400", .PaiLie = "HSP", .FanBan = "2"}, "不能开版！"},
  };
  for (const auto& c : cases) {
    const PageOutcome outcome = Post(c.form);
    EXPECT_EQ(outcome.response.body(), Alert(c.message)) << c.form.PaiLie << " " << c.message;
  }
  EXPECT_TRUE(harness_.LogLines().empty());
}

TEST_F(ImpositionPage, UnknownModeShowsNoUpsAndAnEmptySheet) {
  for (const Form& form : {Form{.PaiLie = "hp"}, Form{.PaiLie = "MAXP"}}) {
    const std::string html = Html(form);
    EXPECT_EQ(Ups(html), "0");
    EXPECT_EQ(Utilisation(html), "0.00%");
    EXPECT_EQ(Frame(html),
              "<table width=\"0\" height=\"0\" border=\"0\" cellpadding=\"0\" title=\"行列\" "
              "cellspacing=\"0\" style=\"border:1px solid #ff0000\" bgcolor=\"#FFFFFF\">");
    EXPECT_EQ(Count(html, "<table"), 2u);  // the summary and the empty sheet
  }
}

TEST_F(ImpositionPage, ZoomScalesTheDrawingOnly) {
  const std::string html = Html({.BigSmall = "1.2"});
  EXPECT_TRUE(Frame(html).starts_with("<table width=\"479\" height=\"345\" "));
  EXPECT_EQ(Ups(html), "25");
  EXPECT_EQ(Utilisation(html), "85.52%");
  EXPECT_TRUE(Frame(Html({})).starts_with("<table width=\"400\" height=\"288\" "));
}

TEST_F(ImpositionPage, TenThousandUpsAreDrawnAsAFixedGrid) {
  // 200 x 50 pieces: the true grid would be 50 rows of 200.
  const std::string capped = Html({.PaperL = "200", .PaperW = "50", .PL = "1", .PW = "1"});
  EXPECT_EQ(Ups(capped), "10000");
  EXPECT_EQ(Frame(capped),
            "<table width=\"400\" height=\"100\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
            "style=\"border:1px solid #ff0000\" bgcolor=\"#FFFFFF\">");
  EXPECT_NE(capped.find("<table width=400 height=100 border=0 cellpadding=0 cellspacing=1 "
                        "bgcolor=#333333 title=>\r\n"),
            std::string::npos);
  EXPECT_EQ(Count(capped, "<tr bgcolor=#FFFFFF>"), 100u);
  EXPECT_EQ(Count(capped, "<td><img width=0 height=0></td>"), 10000u);

  const std::string full = Html({.PaperL = "101", .PaperW = "99", .PL = "1", .PW = "1"});
  EXPECT_EQ(Ups(full), "9999");
  EXPECT_NE(Frame(full).find(" title=\"99行101列\" "), std::string::npos);
  EXPECT_NE(full.find("title=竖排99行101列\r\n>"), std::string::npos);
  EXPECT_EQ(Count(full, "<tr bgcolor=#FFFFFF>"), 99u);
  EXPECT_EQ(Count(full, "<td><img width=0 height=0></td>"), 9999u);
}

TEST_F(ImpositionPage, MostUpsWithASquarePieceIsAPlainGridWithoutSearch) {
  const Class61& page = Calculate({.PL = "100", .PW = "100", .PaiLie = "MaxP"});
  EXPECT_EQ(page.LastKNum.Text(), "70");
  EXPECT_TRUE(page.Pic.IsEmpty());
  EXPECT_TRUE(page.T1.PaperL.IsEmpty());
  EXPECT_TRUE(page.K4.PaperL.IsEmpty());
  EXPECT_EQ(page.LastTabW.Text(), "366.300366300366");
  EXPECT_EQ(page.LastTabH.Text(), "256.410256410256");
}

TEST_F(ImpositionPage, MostUpsIgnoresThePlateMethod) {
  const Form without{.PL = "140", .PW = "100", .PaiLie = "MaxP", .FanBan = std::nullopt};
  Form with_tumble = without;
  with_tumble.FanBan = "2";
  Form with_turn = without;
  with_turn.FanBan = "3";
  const std::string html = Html(without);
  EXPECT_EQ(Html(with_tumble), html);
  EXPECT_EQ(Html(with_turn), html);
}

// The most-ups mode's results depend on the layout searches.

TEST_F(ImpositionPage, MostUpsKeepsTheEarliestTwoBlockLayout) {
  const Class61& page = Calculate({.PaiLie = "MaxP", .FanBan = std::nullopt});
  EXPECT_EQ(harness_.server().script_timeout, 9999);  // raised before the searches
  EXPECT_EQ(page.LastKNum.Text(), "27");
  EXPECT_EQ(page.Pic.Text(), "2");
  EXPECT_EQ(page.LastPiece.Text(), "2");
  // The second candidate ties in ups and blocks, the four-block ones need more blocks.
  EXPECT_EQ(page.T2.found.KNum, 27);
  EXPECT_EQ(page.T2.found.okPiece, 2);
  for (const FourBlockSlot* k : {&page.K1, &page.K2, &page.K3, &page.K4}) {
    EXPECT_EQ(k->found.KNum, 27);
    EXPECT_GE(k->found.okPiece, 3);
  }
  EXPECT_EQ(page.LastPaperL.Text(), "1092");
  EXPECT_EQ(page.LastTwo.Top.TabRow, 4);
  EXPECT_EQ(page.LastTwo.Top.TabCol, 5);
  EXPECT_EQ(page.LastTwo.Bot.TabRow, 1);
  EXPECT_EQ(page.LastTwo.Bot.TabCol, 7);

  const std::string html = Html({.PaiLie = "MaxP", .FanBan = std::nullopt});
  EXPECT_EQ(Ups(html), "27");
  EXPECT_EQ(Utilisation(html), "92.37%");
  EXPECT_NE(html.find(CrLf(R"(cellspacing="0" style="border:1px solid #ff0000" bgcolor="#FFFFFF">
	<tr>
		<td>
<table width=384.615384615385 height=205.128205128205 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=横排4行5列
>
)")),
            std::string::npos);
  EXPECT_NE(html.find(CrLf(R"(</table>
		</td>
	</tr>
	<tr>
		<td>
<table width=358.974358974359 height=76.9230769230769 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=竖排1行7列
>
)")),
            std::string::npos);
}

TEST_F(ImpositionPage, MostUpsDrawsAFourBlockLayout) {
  const Form form{.PL = "140", .PW = "100", .PaiLie = "MaxP", .FanBan = std::nullopt};
  const Class61& page = Calculate(form);
  EXPECT_EQ(page.T1.found.KNum, 55);
  EXPECT_EQ(page.T3.found.KNum, 54);
  EXPECT_EQ(page.LastKNum.Text(), "58");
  EXPECT_EQ(page.Pic.Text(), "4");
  EXPECT_EQ(page.LastPiece.Text(), "3");
  EXPECT_EQ(page.LastFour.okax, 980);
  EXPECT_EQ(page.LastFour.okay, 500);
  EXPECT_EQ(page.LastFour.RB.TabCol, 0);

  const std::string html = Html(form);
  EXPECT_EQ(Ups(html), "58");
  EXPECT_EQ(Utilisation(html), "94.48%");
  // Upper left block, then the right column's upper block (the lower one is empty), then the
  // lower left block in the second row.
  EXPECT_NE(html.find(CrLf(R"(bgcolor="#FFFFFF">
	<tr>
		<td width="358.974358974359" height="183.150183150183" valign="top">
<table width=358 height=183 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=横排5行7列
>
)")),
            std::string::npos);
  EXPECT_NE(html.find(CrLf(R"(</table>
		</td>
		<td width="41.0256410256411" rowspan="2" valign="top">
<table width=36 height=256 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=竖排5行1列
>
)")),
            std::string::npos);
  EXPECT_NE(html.find(CrLf(R"(</table>
		</td>
	</tr>
	<tr>
		<td valign="top">
<table width=329 height=102 border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=竖排2行9列
>
)")),
            std::string::npos);
  EXPECT_EQ(Count(html, "bgcolor=#333333"), 3u);
}

TEST_F(ImpositionPage, MostUpsFromTheTurnedSheetIsDrawnUpright) {
  const Class61& page = Calculate({.PL = "260", .PW = "185", .PaiLie = "MaxP"});
  EXPECT_EQ(page.T1.found.KNum, 16);
  EXPECT_EQ(page.LastKNum.Text(), "17");
  EXPECT_EQ(page.Pic.Text(), "2");
  EXPECT_EQ(page.LastPaperL.Text(), "787");
  EXPECT_EQ(page.LastPaperW.Text(), "1092");
  const std::string html = Html({.PL = "260", .PW = "185", .PaiLie = "MaxP"});
  EXPECT_TRUE(Frame(html).starts_with("<table width=\"288\" height=\"400\" "));
}

TEST_F(ImpositionPage, MostUpsTakesALaterLayoutWithEqualUpsInFewerBlocks) {
  // Sheet 4 x 3, piece 2 x 1: the first candidate has 6 ups in two bands; the fourth, on the
  // turned sheet, has the same 6 as one band and replaces it.
  const Class61& page =
      Calculate({.PaperL = "4", .PaperW = "3", .PL = "2", .PW = "1", .PaiLie = "MaxP"});
  EXPECT_EQ(page.T1.found.KNum, 6);
  EXPECT_EQ(page.T1.found.okPiece, 2);
  EXPECT_EQ(page.LastKNum.Text(), "6");
  EXPECT_EQ(page.LastPiece.Text(), "1");
  EXPECT_EQ(page.Pic.Text(), "2");
  EXPECT_EQ(page.LastPaperL.Text(), "3");
  EXPECT_EQ(page.LastTwo.Top.TabRow, 2);
  EXPECT_EQ(page.LastTwo.Top.TabCol, 3);
}

TEST_F(ImpositionPage, HugeZoomsAnswerAsQuicklyAsAnyOther) {
  // A zoom far beyond any drawing took the searches off their fast path for tens of seconds.
  for (const Form& form : {Form{.PaperL = "800",
                          .PaperW = "800",
                          .PL = "2",
                          .PW = "1",
                          .BigSmall = "1e300",
                          .PaiLie = "MaxP"},
                           Form{.PaperL = "3000",
                           .PaperW = "3000",
                           .PL = "2",
                           .PW = "1",
                           .BigSmall = "1e280",
                           .PaiLie = "MaxP"}}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Ups(Html(form)), form.PaperL == "800" ? "320000" : "4500000");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
  // Past the zoom at which the drawn sheet leaves the number range, the page fails with the
  // overflow its drawing meets, before the searches run.
  const auto start = std::chrono::steady_clock::now();
  const PageOutcome outcome = Post({.PaperL = "800",
                                    .PaperW = "800",
                                    .PL = "2",
                                    .PW = "1",
                                    .BigSmall = "4.4995e305",
                                    .PaiLie = "MaxP"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(outcome.response.body(), "");
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\PinBan, AllTORVA: Overflow"});
}

TEST_F(ImpositionPage, DivisionByZeroInASearchIsLoggedUnderThePage) {
  Class61& page = page_;
  page.Para = Value(400.0 / 1092);
  // Piece sides below 0.5 round to 0 in the whole-number divisions.
  FourBlockSlot& k = page.K1;
  k.PaperL = Value(1092);
  k.PaperW = Value(787);
  k.PL = Value(0.4);
  k.PW = Value(0.4);
  harness_.RunWith([&] { page.PinBan(k.PaperL, k.PaperW, k.PL, k.PW, k.found); });
  EXPECT_EQ(k.found.KNum, 0);
  EXPECT_EQ(k.found.written, 0);
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\PinBan, PinBan: Division by zero"});
}

}  // namespace
}  // namespace sheetora
