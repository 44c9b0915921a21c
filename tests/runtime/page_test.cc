#include "runtime/page.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "pages/fuc.h"
#include "runtime/errors.h"
#include "runtime/gb2312.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

// A page whose behaviour each test picks through the posted field "do".
class TrapPage final : public SharedFunctions {
 public:
  TrapPage() : SharedFunctions("Trap") {}

  void AllTORVA() override try {
    Write("start|");
    const std::string what = FormItem("do").Text();
    if (what == "nested-error") Outer();
    if (what == "two-errors") {
      Failing();
      Failing();
    }
    if (what == "page-end") DeepEnd();
    if (what == "top-error") static_cast<void>(Value("x") * Value(1));
    Write("end");
  } catch (const std::exception& e) {
    Trap("AllTORVA", e);
  }

  Value Outer() try {
    Failing();
    Write("after-failing|");
    return {};
  } catch (const std::exception& e) {
    Trap("Outer", e);
    return {};
  }

  Value Failing() try {
    Write("failing|");
    return IntDiv(Value(1), Value(0));
  } catch (const std::exception& e) {
    Trap("Failing", e);
    return {};
  }

  // Entry method -> DeepEnd -> Middle -> MyRequest -> errmsg.
  Value DeepEnd() try {
    Middle();
    Write("after-middle");
    return {};
  } catch (const std::exception& e) {
    Trap("DeepEnd", e);
    return {};
  }

  Value Middle() try {
    MyRequest(Value("PL"));
    Write("after-myrequest");
    return {};
  } catch (const std::exception& e) {
    Trap("Middle", e);
    return {};
  }
};

PageOutcome RunTrapPage(PageHarness& harness, std::string what, std::string pl = "") {
  TrapPage page;
  return harness.Run(page, {{"do", std::move(what)}, {"PL", std::move(pl)}});
}

TEST(ErrorTrap, ErrorInNestedFunctionLogsOneLineAndThePageGoesOn) {
  PageHarness harness;
  const auto outcome = RunTrapPage(harness, "nested-error");
  EXPECT_EQ(outcome.response.body(), "start|failing|after-failing|end");
  ASSERT_EQ(harness.LogLines().size(), 1u);
  EXPECT_EQ(harness.LogLines()[0], "\\Sheetora_Web\\Trap, Failing: Division by zero");
}

TEST(ErrorTrap, TwoErrorsGiveTwoLinesInOrderWithDateAndCrLf) {
  PageHarness harness;
  RunTrapPage(harness, "two-errors");
  EXPECT_EQ(harness.LogLines(),
            (std::vector<std::string>{"\\Sheetora_Web\\Trap, Failing: Division by zero",
                                      "\\Sheetora_Web\\Trap, Failing: Division by zero"}));
  const std::string text = harness.LogText();
  // "YYYY-MM-DD HH:MM:SS" and four blanks before the prefix, CR LF after the description.
  EXPECT_EQ(text.substr(19, 5), "    \\");
  EXPECT_EQ(text.find("\r\n"), text.find("zero") + 4);
}

TEST(ErrorTrap, ErrorInEntryMethodStopsWritingAndLogsUnderAllTORVA) {
  PageHarness harness;
  const auto outcome = RunTrapPage(harness, "top-error");
  EXPECT_EQ(outcome.response.body(), "start|");
  EXPECT_EQ(harness.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\Trap, AllTORVA: Type mismatch"});
}

TEST(ErrorTrap, PageEndFromThreeCallsDeepStopsEverythingAndLogsNothing) {
  PageHarness harness;
  const auto outcome = RunTrapPage(harness, "page-end", "12mm");
  const std::string& body = outcome.response.body();
  EXPECT_TRUE(outcome.response.ended());
  EXPECT_EQ(body.find("after"), std::string::npos);
  EXPECT_EQ(body.find("end"), std::string::npos);
  EXPECT_TRUE(body.starts_with("start|<script language=\"javascript\">\r\nalert(\""));
  EXPECT_TRUE(body.ends_with("\")\r\nwindow.history.back(-1)\r\n</script>"));
  EXPECT_TRUE(harness.LogLines().empty());
}

TEST(ErrorTrap, UnwritableLogFolderLosesTheLineSilently) {
  PageHarness harness;
  // A log folder below a plain file cannot be opened, whatever the user's rights.
  const auto file = harness.log_dir() / "plain-file";
  std::ofstream(file) << "x";
  Request request;
  request.AddFormField("do", "nested-error");
  Server server;
  server.log_dir = file;
  TrapPage page;
  const PageOutcome outcome = RunPage(page, request, server);
  EXPECT_EQ(outcome.status, 200);
  EXPECT_EQ(outcome.response.body(), "start|failing|after-failing|end");
  EXPECT_EQ(std::filesystem::file_size(file), 1u);
}

TEST(PageContext, PageWithoutHostObjectsLogsInsteadOfCrashing) {
  PageHarness harness;
  Server server;
  server.log_dir = harness.log_dir();
  const ObjectContextScope scope({nullptr, nullptr, &server});
  TrapPage().AllTORVA();
  EXPECT_EQ(harness.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\Trap, AllTORVA: Object required"});
}

TEST(PageContext, ConcurrentRequestsWriteOnlyToTheirOwnResponses) {
  PageHarness harness;
  constexpr int kRounds = 200;
  auto worker = [&](const std::string& tag, bool& ok) {
    ok = true;
    for (int i = 0; i < kRounds; ++i) {
      const auto outcome = RunTrapPage(harness, tag);
      ok = ok && outcome.response.body() == "start|end";
    }
  };
  bool ok1 = false, ok2 = false;
  std::thread a(worker, "a", std::ref(ok1));
  std::thread b(worker, "b", std::ref(ok2));
  a.join();
  b.join();
  EXPECT_TRUE(ok1);
  EXPECT_TRUE(ok2);
}

TEST(Errmsg, MessageIsEscapedSoTheAlertShowsItAsText) {
  PageHarness harness;
  const auto outcome = RunTrapPage(harness, "page-end", "\"</script><script>x()</script>'\\");
  const std::string& body = outcome.response.body();
  EXPECT_NE(
      body.find("错误输入:\\\"\\x3C/script\\x3E\\x3Cscript\\x3Ex()\\x3C/script\\x3E\\'\\\\\")"),
      std::string::npos)
      << body;
  EXPECT_EQ(body.find("</script><script>"), std::string::npos);
}

TEST(Errmsg, ReplacesThePlaceholderOnceEvenWhenTheMessageHoldsIt) {
  PageHarness harness;
  const auto outcome = RunTrapPage(harness, "page-end", "错误");
  EXPECT_NE(outcome.response.body().find("错误输入:错误\")"), std::string::npos);
}

// Writes static blocks with line feeds at the start, doubled, before a CR and missing at the end.
class HtmlBlockPage final : public Page {
 public:
  HtmlBlockPage() : Page("Html") {}
  void AllTORVA() override {
    WriteHtml("\na\n\nb\r\nc");
    WriteHtml("");
    WriteHtml("d\n");
  }
};

TEST(WriteHtml, EveryLineFeedBecomesCrLfAndNothingElseChanges) {
  PageHarness harness;
  HtmlBlockPage page;
  EXPECT_EQ(harness.Run(page).response.body(),
            "\r\na\r\n\r\nb\r\r\nc"
            "d\r\n");
}

TEST(Escaping, ScriptAndAttributeEscapes) {
  EXPECT_EQ(EscapeScriptString("a\r\nb\x01&"), "a\\r\\nb\\x01\\x26");
  // Characters the page's GB2312 lacks would reach the script as "&#N;" text: a line separator,
  // the euro sign, a character beyond U+FFFF and an ill-formed byte. Chinese text stays as it is.
  EXPECT_EQ(EscapeScriptString("错误\u2028€\U0001F600\xFF输入"),
            "错误\\u2028\\u20AC\\uD83D\\uDE00\\uFFFD输入");
  EXPECT_EQ(Utf8ToGb2312(EscapeScriptString("1\u2028")), "1\\u2028");
  EXPECT_EQ(EscapeHtmlAttribute("\"><script>&'"), "&quot;&gt;&lt;script&gt;&amp;&#39;");
}

}  // namespace
}  // namespace sheetora
