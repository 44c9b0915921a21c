// Every page of the table against hostile field and cookie values: it answers quickly, echoes no
// markup, and logs nothing but its own trapped run-time errors.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <iostream>
#include <string>

#include "pages/page_table.h"
#include "runtime/page.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::CookieSubkey;
using testing::Fields;
using testing::PageHarness;
using Clock = std::chrono::steady_clock;

// A page that needs longer than this for one request holds a worker like a hang would.
constexpr auto kBudget = std::chrono::seconds(5);

const std::string kSubmit = "查看开版拼版图";

// A valid post for each page that reads one, so that the hostile field is the only fault.
Fields ValidForm(std::string_view class_name) {
  if (class_name == "Sheetora.Class61") {
    return {{"PaperL", "1092"}, {"PaperW", "787"},  {"PL", "210"},      {"PW", "140"},
            {"BigSmall", "1"},  {"PaiLie", "MaxP"}, {"Submit", kSubmit}};
  }
  if (class_name == "Sheetora.Class60") {
    return {{"PaperWeight", "157"}, {"PaperSpec", "889*1194"},  {"CustomL", "1000"},
            {"CustomW", "700"},     {"PPriceType", "TonPrice"}, {"TonPrice", "6000"}};
  }
  if (class_name == "Sheetora.Class63") return {{"PaperWeight", "80"}, {"PaperPNum", "200"}};
  return {};
}

// Every field some page reads.
constexpr std::array<std::string_view, 18> kFields = {
    "PaperL",     "PaperW",  "PL",          "PW",        "BigSmall", "PaiLie",
    "FanBan",     "Submit",  "PaperWeight", "PaperSpec", "CustomL",  "CustomW",
    "PPriceType", "M2Price", "PiecePrice",  "ReamPrice", "TonPrice", "PaperPNum"};

const std::vector<std::string>& HostileValues() {
  static const std::vector<std::string> values = {
      "<script>alert(1)</script>",
      "\"><script>alert(1)</script>",
      "' onmouseover='alert(1)' x='",
      "\");alert(1);//",
      "</script><script>alert(1)</script>",
      std::string("12\0<script>alert(1)</script>", 28),
      "\xff\xfe\x80\x81<script>alert(1)</script>",  // bytes that are no UTF-8
      "\xef\xbf\xbd",
      std::string(60 * 1024, '9'),
      std::string(60 * 1024, '<'),
      "1e308",
      "-1e308",
      "1E+309",
      "-0",
      "2147483648",
      "-2147483649",
      "4294967296",
      "1e-320",
      "NaN",
      "Infinity",
      "0x10",
      "",
      " ",
  };
  return values;
}

// The descriptions of the run-time errors that pages trap and log.
bool IsPageLogLine(std::string_view line, std::string_view page_name) {
  const std::string prefix = "\\Sheetora_Web\\" + std::string(page_name) + ", ";
  if (!line.starts_with(prefix)) return false;
  for (std::string_view description :
       {": Overflow", ": Division by zero", ": Type mismatch", ": Subscript out of range"}) {
    if (line.ends_with(description)) return true;
  }
  return false;
}

struct PageRun {
  PageOutcome outcome;
  std::vector<std::string> log;
  Clock::duration took;
};

PageRun RunOnce(std::string_view class_name, const Fields& form,
                const std::vector<CookieSubkey>& cookies = {}) {
  PageHarness harness;
  const auto start = Clock::now();
  auto outcome = harness.Run(class_name, form, cookies);
  return {std::move(outcome), harness.LogLines(), Clock::now() - start};
}

// Checks one run and says which property failed, if any.
std::string Fault(const PageRun& run, std::string_view page_name) {
  const std::string& body = run.outcome.response.body();
  if (run.outcome.status != 200) return "status " + std::to_string(run.outcome.status);
  if (run.took > kBudget) return "took too long";
  for (std::string_view markup : {"<script>alert(1)", "onmouseover='alert"}) {
    if (body.find(markup) != std::string::npos) return "echoed " + std::string(markup);
  }
  // A quote that closes a script string shows up only escaped, inside the string.
  const std::string_view breakout = "\");alert(1)";
  for (auto at = body.find(breakout); at != std::string::npos; at = body.find(breakout, at + 1)) {
    if (at == 0 || body[at - 1] != '\\') return "echoed " + std::string(breakout);
  }
  for (const auto& line : run.log) {
    if (!IsPageLogLine(line, page_name)) return "log line " + line.substr(0, 200);
  }
  return {};
}

TEST(HostileInput, EveryFieldOfEveryPageAnswersSafely) {
  for (const PageRow& route : PageTable()) {
    const auto page = route.make();
    for (std::string_view field : kFields) {
      for (const std::string& value : HostileValues()) {
        Fields form;
        for (auto& [name, valid] : ValidForm(route.class_name)) {
          if (name != field) form.emplace_back(name, valid);
        }
        form.emplace_back(std::string(field), value);
        const PageRun run = RunOnce(route.class_name, form);
        EXPECT_EQ(Fault(run, page->page_name()), "")
            << route.path << " " << field << "=" << value.substr(0, 40);
      }
    }
  }
}

TEST(HostileInput, CookieSubkeysComeBackAsTextOnly) {
  for (const PageRow& route : PageTable()) {
    const auto page = route.make();
    for (std::string_view subkey : {"PaperL", "PaperW", "PL", "PW"}) {
      for (const std::string& value : HostileValues()) {
        const PageRun run = RunOnce(route.class_name, {}, {{"PinBan", std::string(subkey), value}});
        EXPECT_EQ(Fault(run, page->page_name()), "")
            << route.path << " cookie " << subkey << "=" << value.substr(0, 40);
      }
    }
  }
}

// Sizes at the ends of the 32-bit range in every arrangement mode and plate method: each
// request answers within the budget. The times are printed, for the record.
TEST(HostileInput, HugeSizesInEveryModeAnswerWithinTheBudget) {
  struct Sizes {
    const char *paper_l, *paper_w, *pl, *pw;
  };
  const Sizes sizes[] = {
      {"2147483647", "2147483647", "1", "1"},
      {"2147483647", "1", "1", "1"},
      {"2147483647", "2147483646", "3", "2"},
      {"2147483647", "2147483647", "65537", "65521"},
      {"2147483647", "2147483647", "2147483647", "1"},
      {"2147483648", "787", "210", "140"},
      {"1092", "787", "1", "1"},
      {"99999", "99998", "7", "5"},
  };
  for (const Sizes& s : sizes) {
    for (const char* mode : {"HP", "SP", "HSP", "MaxP"}) {
      for (const char* plate : {"1", "2", "3"}) {
        if (std::string_view(mode) == "MaxP" && std::string_view(plate) != "1") continue;
        const PageRun run = RunOnce("Sheetora.Class61", {{"PaperL", s.paper_l},
                                                         {"PaperW", s.paper_w},
                                                         {"PL", s.pl},
                                                         {"PW", s.pw},
                                                         {"BigSmall", "1"},
                                                         {"PaiLie", mode},
                                                         {"FanBan", plate},
                                                         {"Submit", kSubmit}});
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(run.took).count();
        std::cout << "[ time     ] " << s.paper_l << " x " << s.paper_w << ", " << s.pl << " x "
                  << s.pw << ", " << mode << " " << plate << ": " << ms << " ms, "
                  << run.outcome.response.body().size() << " bytes\n";
        EXPECT_EQ(Fault(run, "PinBan"), "") << s.paper_l << " x " << s.paper_w << " " << mode;
      }
    }
  }
}

}  // namespace
}  // namespace sheetora
