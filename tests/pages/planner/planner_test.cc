#include "pages/planner/planner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "host/http_server.h"
#include "layout/json.h"
#include "tests/pages/planner/plan_fixtures.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora::planner {
namespace {

/// The page's one error message sits in the row of that field.
bool ErrorBeside(const std::string& html, std::string_view field) {
  const auto input = html.find("name=\"" + std::string(field) + "\"");
  const auto error = html.find("id=\"error\"");
  return input < error && error < html.find("<div class=\"row\">", input) &&
         Occurrences(html, "id=\"error\"") == 1;
}

TEST(PlannerQuery, FieldsAreReadOrRefusedOneByOne) {
  const struct {
    std::string_view query;
    std::string error_field;  // "" when the form is accepted
  } cases[] = {
      {"", ""},  // the default form
      {"sheet=1092 x 787&piece=210×140", ""},
      {"sheet= 1092X787.5 &piece=+210*1.4e2&grain=width", ""},
      {"sheet=1092x787&piece=", "piece"},
      {"sheet=1092&piece=210x140", "sheet"},
      {"sheet=1092x787x3&piece=210x140", "sheet"},
      {"sheet=1092x787&piece=0x140", "piece"},  // refused by the engine
      {"sheet=1092x787&piece=210x140&bleed=3mm", "bleed"},
      {"sheet=1092x787&piece=210x140&gutter=nan", "gutter"},
      {"sheet=1092x787&piece=210x140&tail=1e400", "tail"},
      {"sheet=1e13x787&piece=210x140", "sheet"},
      {"sheet=1092x787&piece=210x140&grain=diagonal", "grain"},
      {"sheet=1092x787&piece=210x140&unit=cm", "unit"},
      {"sheet=1092x787&piece=210x140&grammage=157", "quantity"},
      {"sheet=1092x787&piece=210x140&quantity=2.5", "quantity"},
      {"sheet=1092x787&piece=210x140&quantity=10&parent=big", "parent"},
      // The first of a repeated field counts; unknown fields are ignored.
      {"sheet=1092x787&sheet=bad&piece=210x140&colour=<b>", ""},
  };
  for (const auto& c : cases) {
    const ParsedForm form = ParsePlannerQuery(Q(c.query));
    EXPECT_EQ(form.error ? form.error->field : "", c.error_field) << c.query;
    EXPECT_EQ(form.request.has_value(), c.error_field.empty()) << c.query;
  }
}

TEST(PlannerQuery, ReadsLengthsInTheChosenUnitAndTheWholeJob) {
  const ParsedForm form = ParsePlannerQuery(
      Q("unit=in&sheet=40x30&piece=8.5x11&bleed=0.125&gripper=0.5&cut=die&quantity=5000&overs=5&"
        "makeready=50&parent=80x60&grammage=157&price=6000&price_per=m2"));
  ASSERT_TRUE(form.request) << form.error->field;
  const layout::Request& r = *form.request;
  EXPECT_EQ(r.sheet.length, 1016000);
  EXPECT_EQ(r.piece.width, 279400);
  EXPECT_EQ(r.bleed, 3175);
  EXPECT_EQ(r.margins.gripper, 12700);
  EXPECT_EQ(r.cut, layout::CutMode::kDie);
  ASSERT_TRUE(r.job && r.job->parent && r.job->price);
  const layout::Job& job = *r.job;
  EXPECT_EQ(std::tuple(job.quantity, job.overs_percent, job.makeready, job.parent->width),
            std::tuple(5000, 5.0, 50, 1524000));
  EXPECT_EQ(std::tuple(job.grammage, job.price->per, job.price->amount),
            std::tuple(157.0, layout::PricePer::kSquareMetre, 6000.0));
}

// The form and the API read a length typed the same way to the same micrometre, halves away
// from zero, from the decimals as written (0.5005 mm is 501 µm, not the 500 of its double).
TEST(PlannerQuery, ReadsLengthsAsTheApiDoes) {
  for (const std::string length :
       {"0.5005", "21.0005", "1.0015", "2.1e1", "0.00049999", "9.9995", "12.3455", "0.0005"}) {
    for (const std::string_view unit : {"mm", "in"}) {
      SCOPED_TRACE(length + " " + std::string(unit));
      const ParsedForm form = ParsePlannerQuery(
          Q("unit=" + std::string(unit) + "&sheet=100x1" + length + "&piece=1x1&gutter=" + length));
      const auto api = layout::ParseRequest(
          R"({"unit": ")" + std::string(unit) + R"(", "sheet": {"length": 100, "width": 1)" +
          length + R"(}, "piece": {"length": 1, "width": 1}, "gutter": )" + length + "}");
      ASSERT_TRUE(form.request.has_value());
      ASSERT_TRUE(std::holds_alternative<layout::Request>(api));
      EXPECT_EQ(form.request->gutter, std::get<layout::Request>(api).gutter);
      EXPECT_EQ(form.request->sheet.width, std::get<layout::Request>(api).sheet.width);
    }
  }
}

TEST(PlannerPage, ShowsTheAnswerTheFiguresAndTheCutList) {
  const ParsedForm form = ParsePlannerQuery(Q("sheet=100x70&piece=45x30"));
  layout::Answer answer = HandMadeAnswer();
  const std::string html = PlannerPage(form, &answer);
  EXPECT_NE(html.find("<dd id=\"ups\">4</dd>"), std::string::npos);
  EXPECT_NE(html.find("id=\"proof\" data-proof=\"optimal\""), std::string::npos);
  EXPECT_NE(html.find("id=\"run-sheets\">1,250 张<"), std::string::npos);
  EXPECT_NE(html.find("id=\"cost\">133.61 元<"), std::string::npos);
  EXPECT_NE(html.find("id=\"paper-utilisation\">46.75%<"), std::string::npos);
  EXPECT_EQ(Occurrences(html, "class=\"piece\""), 4u);
  EXPECT_NE(html.find("<li>叠 #2（100 × 60）竖切，距左侧 50 mm</li>"), std::string::npos);
  EXPECT_EQ(Occurrences(html, "<li>"), 6u);
  EXPECT_NE(html.find("href=\"/plan.pdf?sheet=100x70&amp;piece=45x30&amp;lang=zh\""),
            std::string::npos);

  // A job the engine cannot plan shows why instead of its figures.
  answer.job = layout::JobAnswer{.error = "the press sheet does not fit the parent sheet"};
  const std::string refused = PlannerPage(form, &answer);
  EXPECT_NE(refused.find("id=\"job-error\">全张放不下一张上机纸<"), std::string::npos);
  EXPECT_EQ(refused.find("id=\"run-sheets\""), std::string::npos);
}

TEST(PlannerPage, BadInputAnswers400WithTheFormAsTypedAndTheMessageBesideTheField) {
  const std::string hostile = "\"><script>alert(1)</script>";
  const AppAnswer answer =
      ServePlanPage({.method = "GET",
                     .path = "/plan",
                     .query = {{"sheet", "1092x787"}, {"piece", "210x140"}, {"bleed", hostile}}});
  EXPECT_EQ(answer.status, 400u);
  EXPECT_EQ(answer.content_type, "text/html; charset=utf-8");
  EXPECT_EQ(answer.body.find("<script>alert"), std::string::npos);
  EXPECT_NE(answer.body.find("value=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""),
            std::string::npos);
  EXPECT_NE(answer.body.find("value=\"210x140\""), std::string::npos);
  EXPECT_TRUE(ErrorBeside(answer.body, "bleed"));
  EXPECT_EQ(answer.body.find("id=\"ups\""), std::string::npos);
}

// A bookmarked URL through the real host: the daemon turns '+' into a blank and decodes percent
// escapes before the planner reads the query; nothing is logged for a typing mistake.
TEST(PlannerHttp, ServesBookmarkedPlansTheDrawingAndTheCutSheet) {
  sheetora::testing::PageHarness harness;  // for its log folder
  HttpServerOptions options;
  options.port = 0;
  options.log_dir = harness.log_dir();
  const HttpServer server(options);
  const auto get = [&](std::string_view path) {
    sheetora::testing::HttpConnection connection(server.port());
    connection.Send(sheetora::testing::GetRequest(path));
    return connection.Receive();
  };

  const auto page = get("/plan?sheet=1092+x+787&piece=210%C3%97140&bleed=3&gripper=10");
  EXPECT_EQ(page.status, 200);
  EXPECT_EQ(page.Header("content-type"), "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("value=\"1092 x 787\""), std::string::npos);
  EXPECT_NE(page.body.find("value=\"210×140\""), std::string::npos);
  EXPECT_NE(page.body.find("id=\"ups\""), std::string::npos);

  const std::tuple<std::string_view, std::string_view, std::string_view> files[] = {
      {"/plan.svg", "image/svg+xml; charset=utf-8", "<?xml"},
      {"/plan.pdf", "application/pdf", "%PDF-"}};
  for (const auto& [path, type, start] : files) {
    const auto file = get(std::string(path) + "?sheet=1092x787&piece=210x140");
    EXPECT_EQ(file.status, 200) << path;
    EXPECT_EQ(file.Header("content-type"), type);
    EXPECT_TRUE(file.body.starts_with(start)) << path;
  }

  for (const char* bad : {"/plan?piece=abc", "/plan.svg?piece=abc", "/plan.pdf?piece=abc"}) {
    EXPECT_EQ(get(bad).status, 400) << bad;
  }
  EXPECT_EQ(harness.LogText(), "");
}

// What the engine fixes about its answers and refusals, seen through the page.
TEST(PlannerWithEngine, ContractFiguresAndRefusals) {
  const auto page = [](const Query& query) {
    return ServePlanPage({.method = "GET", .path = "/plan", .query = query});
  };
  const AppAnswer classic = page(Q("sheet=1092x787&piece=210x140"));
  EXPECT_NE(classic.body.find("<dd id=\"ups\">27</dd>"), std::string::npos);
  EXPECT_NE(classic.body.find("<ol id=\"cuts\""), std::string::npos);

  const std::pair<std::string_view, std::string_view> refused[] = {
      {"bleed=-1", "bleed"},
      {"gripper=1001", "gripper"},
      {"quantity=10&price=6000", "grammage"},  // a price per tonne needs the grammage
      {"quantity=0", "quantity"},
  };
  for (const auto& [fields, field] : refused) {
    const AppAnswer answer = page(Q("sheet=1092x787&piece=210x140&" + std::string(fields)));
    EXPECT_EQ(answer.status, 400u) << fields;
    EXPECT_TRUE(ErrorBeside(answer.body, field)) << fields;
  }
}

}  // namespace
}  // namespace sheetora::planner
