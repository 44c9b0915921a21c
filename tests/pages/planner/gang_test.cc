// The gang page: its query with a table of jobs, the page, drawing and PDF of a hand-made plan,
// and its routes through a real host with the gang planner.
#include "pages/planner/gang.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <stop_token>

#include "host/http_server.h"
#include "pages/planner/gang_view.h"
#include "pages/planner/planner.h"
#include "tests/pages/planner/plan_fixtures.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora::planner {
namespace {

using layout::gang::GangAnswer;
using layout::gang::GangRequest;

constexpr std::string_view kSheet = "sheet=100x70&gripper=10&";

/// Two jobs on a 100 x 70 sheet: A (45 x 30, 500) and B (20 x 20, 900). Layout 1 holds two A and
/// four B and runs 250 sheets; layout 2 holds twelve B and runs 10.
GangRequest HandMadeGang() {
  return ParseGangQuery(
             Q(std::string(kSheet) + "job=A&size=45x30&qty=500&job=B&size=20x20&qty=900&jbleed=1"))
      .request.value();
}

GangAnswer HandMadeGangAnswer() {
  using layout::CutKind;
  const auto block = [](int item, int x, int y, int columns, int rows) {
    return layout::gang::GangBlock{
        .item = item, .block = {.x = x * kMm, .y = y * kMm, .columns = columns, .rows = rows}};
  };
  const auto stack = [](int id, int y, std::vector<layout::Micrometres> at) {
    for (auto& a : at) a *= kMm;
    return layout::gang::GangCut{.node = {.id = id,
                                          .y = y * kMm,
                                          .length = 100 * kMm,
                                          .width = (70 - y) * kMm,
                                          .kind = CutKind::kStack,
                                          .axis = 'y',
                                          .at = std::move(at)}};
  };
  return {
      .layouts = {{.runs = 250,
                   .blocks = {block(0, 5, 10, 2, 1), block(1, 5, 41, 4, 1)},
                   .cuts = std::vector{stack(0, 0, {10, 40}), stack(2, 40, {22})},
                   .utilisation = 0.4214},
                  {.runs = 10, .blocks = {block(1, 5, 11, 4, 2)}, .utilisation = 0.4571}},
      .items = {{"A", 500, 500}, {"B", 900, 1080}},
      .sheets = 260,
      .press_sheets = 260,
      .cost = 260,
      .bound = 255.5,
  };
}

/// The page's one error message follows the input, before the next row of the form or the jobs'
/// table.
bool ErrorBeside(const std::string& html, std::string_view key) {
  const auto input = html.find("id=\"f-" + std::string(key) + "\"");
  const auto error = html.find("id=\"error\"");
  const auto next_row =
      std::min(html.find("<tr class=\"job\"", input), html.find("<div class=\"row\"", input));
  return input < error && error < next_row && Occurrences(html, "id=\"error\"") == 1;
}

/// The number of pages pdfinfo finds in a PDF, or -1.
int PageCount(const std::string& pdf) {
  std::smatch match;
  const std::string info = Poppler(pdf, "pdfinfo {}");
  return std::regex_search(info, match, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(match[1]) : -1;
}

TEST(GangQuery, ReadsTheTableRowByRowAndSkipsBlankRows) {
  const ParsedGang form = ParseGangQuery(
      Q("unit=in&sheet=40x30&bleed=0.125&max_layouts=3&makeready=50&setup_sheets=12.5&overs=2&"
        "job=Cards&size=3.5x2&qty=1000&jbleed=&jgrain=any&"
        "job=&size=&qty=&jbleed=&jgrain=any&"
        "job=&size=8.5x11&qty=200&jbleed=0&jgrain=length"));
  ASSERT_TRUE(form.request) << form.error->field << ": " << ErrorText(*form.error, Chinese());
  const GangRequest& r = *form.request;
  ASSERT_EQ(r.items.size(), 2u);
  EXPECT_EQ(form.rows, 3u);
  EXPECT_EQ(form.item_rows, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(r.sheet.length, 1016000);
  EXPECT_EQ(r.bleed, 3175);
  EXPECT_EQ(std::tuple(r.max_layouts, r.makeready, r.setup_sheets, r.overs_percent),
            std::tuple(3, 50, 12.5, 2.0));
  EXPECT_EQ(r.items[0].id, "Cards");
  EXPECT_EQ(r.items[0].piece.width, 50800);
  EXPECT_FALSE(r.items[0].bleed);
  EXPECT_EQ(r.items[1].id, "#3");  // named after its row
  EXPECT_EQ(r.items[1].bleed, 0);
  EXPECT_EQ(r.items[1].grain, layout::Grain::kLength);
  EXPECT_EQ(r.items[1].quantity, 200);
  EXPECT_FALSE(r.paper);

  // A hand-written address may leave the names out: a field again starts the next row.
  const ParsedGang unnamed =
      ParseGangQuery(Q("sheet=700x500&size=90x54&qty=100&size=60x40&jbleed=2&qty=200"));
  ASSERT_TRUE(unnamed.request);
  ASSERT_EQ(unnamed.request->items.size(), 2u);
  EXPECT_EQ(unnamed.request->items[1].id, "#2");
  EXPECT_EQ(unnamed.request->items[1].quantity, 200);
  EXPECT_EQ(unnamed.request->items[1].bleed, 2000);

  const ParsedGang example = ParseGangQuery({});
  ASSERT_TRUE(example.request);
  EXPECT_EQ(example.request->items.size(), 3u);
}

TEST(GangQuery, RefusesTheFirstWrongFieldByItsKey) {
  const struct {
    std::string_view fields;
    std::string_view key;
  } cases[] = {
      {"", "job-0"},  // no job at all
      {"job=A&size=90&qty=10", "size-0"},
      {"job=A&size=90x54", "qty-0"},
      {"job=A&size=90x54&qty=2.5", "qty-0"},
      {"job=A&size=90x54&qty=10&jbleed=x", "jbleed-0"},
      {"job=A&size=90x54&qty=10&jgrain=diagonal", "jgrain-0"},
      {"job=A&size=90x54&qty=10&max_layouts=1.5", "max_layouts"},
      {"job=A&size=90x54&qty=10&overs=lots", "overs"},
      // Refused by the planner, each shown at its row's field.
      {"job=A&size=90x54&qty=0", "qty-0"},
      {"job=A&size=9x5&qty=10&job=&size=&qty=&job=B&size=200x54&qty=10", "size-2"},
      {"job=A&size=9x5&qty=10&job=A&size=9x5&qty=10", "job-1"},
      {"job=A&size=90x54&qty=10&max_layouts=0", "max_layouts"},
      {"job=A&size=90x54&qty=10&max_layouts=1e12", "max_layouts"},
      {"job=A&size=90x54&qty=10&tail=-1", "tail"},
      {"job=A&size=90x54&qty=10&tail=60", ""},  // the margins together: no one field
      {"job=A&size=90x54&qty=10&jbleed=-1", "jbleed-0"},
      {"job=A&size=90x54&qty=10&parent=big", "parent"},
      {"job=A&size=90x54&qty=10&price=6000", "grammage"},  // a price a tonne needs the grammage
  };
  for (const auto& c : cases) {
    const ParsedGang form = ParseGangQuery(Q(std::string(kSheet) + std::string(c.fields)));
    ASSERT_TRUE(form.error) << c.fields;
    EXPECT_EQ(form.error->field, c.key) << c.fields << ": " << ErrorText(*form.error, Chinese());
    EXPECT_FALSE(form.request) << c.fields;
  }
}

TEST(GangPage, ShowsTheTotalsEachJobAndEachLayoutInItsColours) {
  const ParsedGang form = ParseGangQuery(
      Q(std::string(kSheet) + "job=A&size=45x30&qty=500&job=B&size=20x20&qty=900&jbleed=1"));
  const GangAnswer answer = HandMadeGangAnswer();
  const std::string html = GangPage(form, &answer);
  for (const char* shown :
       {"id=\"sheets\">260 张<", "id=\"press-sheets\">260 张<", "id=\"layouts\">2<",
        "id=\"plan-cost\">260<", "id=\"bound\">255.5<", "id=\"gap\">1.76%<",
        "id=\"proof\" data-proof=\"none\"", "<td class=\"produced\">1,080</td>",
        "<td class=\"overs\">180</td>", "<h2>版 2 · 印 10 张</h2>",
        "<li>整张（100 × 70）横切，距咬口侧 40 mm</li>", "<p class=\"note\">没有裁切顺序</p>"}) {
    EXPECT_NE(html.find(shown), std::string::npos) << shown;
  }
  // The drawing's link keeps every job's row whole, blank fields included.
  const std::string link =
      "href=\"/gang.svg?sheet=100x70&amp;gripper=10&amp;job=A&amp;size=45x30&amp;qty=500&amp;"
      "jbleed=&amp;jgrain=&amp;job=B&amp;size=20x20&amp;qty=900&amp;jbleed=1&amp;jgrain=&amp;"
      "lang=zh&amp;layout=2\"";
  EXPECT_NE(html.find(link), std::string::npos);
  EXPECT_EQ(Occurrences(html, "<section class=\"layout\""), 2u);
  EXPECT_EQ(Occurrences(html, "class=\"piece job-0\""), 2u);
  EXPECT_EQ(Occurrences(html, "class=\"piece job-1\""), 12u);
  // One colour a job, the same in the job table and in every drawing's style.
  std::set<std::string> colours;
  for (const int job : {0, 1}) {
    const std::regex rule("svg\\.plan \\.job-" + std::to_string(job) + "\\{fill:(#[0-9a-f]{6})\\}");
    std::set<std::string> of_job;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), rule);
         it != std::sregex_iterator(); ++it) {
      of_job.insert((*it)[1]);
    }
    ASSERT_EQ(of_job.size(), 1u) << job;
    EXPECT_NE(html.find("<tr data-item=\"" + std::to_string(job) +
                        "\"><td class=\"name\"><span class=\"swatch\" style=\"background:" +
                        *of_job.begin()),
              std::string::npos);
    colours.insert(*of_job.begin());
  }
  EXPECT_EQ(colours.size(), 2u);
  // The legend lists the jobs of each layout with their pieces a sheet.
  EXPECT_NE(html.find(">A · 45 × 30 · 每张 2</text>"), std::string::npos);
  EXPECT_NE(html.find(">B · 20 × 20 · 每张 8</text>"), std::string::npos);
  EXPECT_EQ(html.find(">A · 45 × 30 · 每张 0"), std::string::npos);
  // A form of a dozen rows, which the script may grow.
  EXPECT_EQ(Occurrences(html, "<tr class=\"job\">"), kGangMinRows);
  // Linked both ways with the job planner.
  EXPECT_NE(html.find("<a href=\"/plan?lang=zh\">"), std::string::npos);
  EXPECT_NE(PlannerPage(ParsePlannerQuery({}), nullptr).find("<a href=\"/gang?lang=zh\">"),
            std::string::npos);
}

TEST(GangPage, ShowsThePapersFiguresAsThePlannerDoes) {
  GangAnswer answer = HandMadeGangAnswer();
  answer.paper = layout::gang::GangPaperAnswer{
      .per_parent = 4, .parent_sheets = 65, .weight_kg = 8.775, .paper_utilisation = 0.3125};
  std::map<std::string_view, std::string> shown;
  for (const Figure& figure : GangFigures(answer, Chinese())) shown[figure.id] = figure.value;
  EXPECT_EQ(std::tuple(shown["per-parent"], shown["parent-sheets"], shown["weight"]),
            std::tuple("4 开", "65 张", "8.775 kg"));
  EXPECT_EQ(std::tuple(shown["cost"], shown["paper-utilisation"]),
            std::tuple("—（未填价格）", "31.25%"));
  answer.paper = layout::gang::GangPaperAnswer{.error = "too small"};
  EXPECT_EQ(GangFigures(answer, Chinese()).back().value, "全张放不下一张上机纸");
}

TEST(GangPage, DistinctColoursForEveryJobTheRequestMayHold) {
  std::set<unsigned> colours;
  for (std::size_t i = 0; i < layout::gang::kMaxItems; ++i) colours.insert(JobColour(i));
  EXPECT_EQ(colours.size(), layout::gang::kMaxItems);
}

TEST(GangPage, BadInputAnswers400WithTheFormAsTypedAndTheMessageInTheRow) {
  const std::string hostile = "\"><script>alert(1)</script>";
  Query query = Q(std::string(kSheet) + "job=A&size=90x54&qty=10&job=B&size=90x54&qty=");
  query.emplace_back("job", hostile);
  query.emplace_back("size", "1x1");
  query.emplace_back("qty", "5");
  const AppAnswer answer = ServeGangPage({.method = "GET", .path = "/gang", .query = query});
  EXPECT_EQ(answer.status, 400u);
  EXPECT_EQ(answer.content_type, "text/html; charset=utf-8");
  EXPECT_TRUE(ErrorBeside(answer.body, "qty-1"));
  EXPECT_NE(answer.body.find("id=\"f-qty-1\" name=\"qty\" value=\"\""), std::string::npos);
  EXPECT_NE(answer.body.find("value=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""),
            std::string::npos);
  EXPECT_EQ(answer.body.find("<script>alert"), std::string::npos);
  EXPECT_EQ(answer.body.find("id=\"sheets\""), std::string::npos);
}

// A client that has gone away stops the search; what was found so far is still a plan, and the
// page says the search was cut short.
TEST(GangPage, AStopRequestCutsTheSearchShort) {
  std::stop_source gone;
  gone.request_stop();
  const AppAnswer answer = ServeGangPage(
      {.method = "GET",
       .path = "/gang",
       .query = Q("sheet=1092x787&job=A&size=90x54&qty=20000&job=B&size=210x285&qty=6000"),
       .stop = gone.get_token()});
  EXPECT_EQ(answer.status, 200u);
  EXPECT_NE(answer.body.find("id=\"complete\">"), std::string::npos);
  EXPECT_NE(answer.body.find("<section class=\"layout\""), std::string::npos);
}

TEST(GangOutput, TheDrawingEscapesJobNamesAndThePdfHasAPageALayout) {
  GangRequest request = HandMadeGang();
  request.items[0].id = "<A&B>";
  GangAnswer answer = HandMadeGangAnswer();
  answer.items[0].id = request.items[0].id;
  const std::string svg = GangSvg(request, answer, 1, Chinese(), true);
  EXPECT_TRUE(svg.starts_with("<?xml"));
  EXPECT_EQ(svg.find("<A&B>"), std::string::npos);
  EXPECT_NE(svg.find("&lt;A&amp;B&gt; · 45 × 30 · 每张 2"), std::string::npos);

  const std::string pdf = GangPdf(request, answer, Chinese());
  EXPECT_EQ(PageCount(pdf), 3);
  const std::string text = Poppler(pdf, "pdftotext -layout {} -");
  for (const char* expected : {"拼版组合计划", "正数用纸：260 张", "与下界相差：1.76%",
                               "版 1 · 印 250 张", "1. 整张（100 × 70）横切，距咬口侧 10 mm",
                               "版 2 · 印 10 张", "没有裁切顺序", "<A&B> · 45 × 30 · 每张 2"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
  }
  EXPECT_EQ(Occurrences(text, "\f"), 3u);

  // A layout's long cut list is set smaller beside a smaller drawing: still a page a layout.
  std::vector<layout::Micrometres>& at = answer.layouts[0].cuts->front().node.at;
  for (layout::Micrometres i = 1; i < 300; ++i) at.push_back(i * 200);
  const std::string long_list = GangPdf(request, answer, Chinese());
  EXPECT_EQ(PageCount(long_list), 3);
  EXPECT_NE(Poppler(long_list, "pdftotext -layout {} -").find("301. "), std::string::npos);
}

// Through the real host and the gang planner: every figure the page shows is the plan's, and
// nothing is logged for a typing mistake.
TEST(GangHttp, ServesThePlanItsDrawingsAndItsPdf) {
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
  // A plan the planner finishes well within its time limit, so that every request gets it.
  const std::string query =
      "?sheet=700+x+500&gripper=10&job=A&size=210x297&qty=1000&job=B&size=148%C3%97105&qty=3000";

  const auto page = get("/gang" + query);
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("value=\"148×105\""), std::string::npos);
  const ParsedGang form = ParseGangQuery(
      Q("sheet=700x500&gripper=10&job=A&size=210x297&qty=1000&job=B&size=148x105&qty=3000"));
  const GangAnswer answer = layout::gang::Plan(*form.request);
  ASSERT_TRUE(answer.complete);
  ASSERT_EQ(answer.layouts.size(), 2u);
  for (const Figure& figure : GangFigures(answer, Chinese())) {
    const auto at = page.body.find("id=\"" + std::string(figure.id) + "\"");
    ASSERT_NE(at, std::string::npos) << figure.id;
    const std::string element = page.body.substr(at, page.body.find("</dd>", at) - at);
    EXPECT_TRUE(element.ends_with(">" + figure.value)) << element;
  }
  EXPECT_EQ(Occurrences(page.body, "<section class=\"layout\""), answer.layouts.size());

  const auto svg = get("/gang.svg" + query + "&layout=" + std::to_string(answer.layouts.size()));
  EXPECT_EQ(svg.status, 200);
  EXPECT_EQ(svg.Header("content-type"), "image/svg+xml; charset=utf-8");
  const auto pdf = get("/gang.pdf" + query);
  EXPECT_EQ(pdf.status, 200);
  EXPECT_EQ(pdf.Header("content-type"), "application/pdf");
  EXPECT_EQ(PageCount(pdf.body), static_cast<int>(1 + answer.layouts.size()));

  const std::string bad[] = {"/gang.svg" + query + "&layout=9", "/gang.svg" + query + "&layout=x",
                             "/gang?sheet=1092x787&job=A&size=abc&qty=1",
                             "/gang.pdf?sheet=1092x787"};
  for (const std::string& path : bad) EXPECT_EQ(get(path).status, 400) << path;
  EXPECT_EQ(harness.LogText(), "");
}

}  // namespace
}  // namespace sheetora::planner
