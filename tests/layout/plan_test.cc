// Whole plans: random requests through the engine, cut programs of layouts from no solver, and
// the job's figures on worked examples.
#include "layout/plan.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "layout/cut_program.h"
#include "layout/job.h"
#include "tests/layout/answer_check.h"

namespace sheetora::layout {
namespace {

using testing::CheckAnswer;
using testing::CheckCuts;

constexpr Micrometres Mm(std::int64_t mm) { return mm * kMicrometresPerMm; }

class Random {
 public:
  explicit Random(unsigned seed) : engine_(seed) {}
  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
  }
  /// Zero half the time, so that plain sheets stay common.
  Micrometres MaybeMm(std::int64_t max_mm) { return Between(0, 1) ? 0 : Between(0, Mm(max_mm)); }

 private:
  std::mt19937_64 engine_;
};

TEST(PlanTest, RandomRequestsGiveSoundAnswers) {
  Random random(12);
  int with_cuts = 0;
  for (int i = 0; i < 300; ++i) {
    Request request;
    request.sheet = {random.Between(Mm(50), Mm(1500)), random.Between(Mm(50), Mm(1100))};
    // Small pieces now and then, so that some layouts are too large for a cut program.
    const Micrometres largest = random.Between(0, 9) == 0 ? Mm(12) : Mm(400);
    request.piece = {random.Between(Mm(3), largest), random.Between(Mm(3), largest)};
    request.bleed = random.MaybeMm(5);
    request.gutter = random.MaybeMm(8);
    request.margins = {random.MaybeMm(20), random.MaybeMm(20), random.MaybeMm(20),
                       random.MaybeMm(20)};
    request.grain = static_cast<Grain>(random.Between(0, 2));
    request.cut = static_cast<CutMode>(random.Between(0, 1));
    request.time_limit_ms = static_cast<int>(random.Between(5, 30));
    ASSERT_EQ(Validate(request), std::nullopt);
    const Answer answer = Plan(request);
    EXPECT_EQ(CheckAnswer(request, answer), std::vector<std::string>())
        << "request " << i << ": sheet " << request.sheet.length << "x" << request.sheet.width
        << ", piece " << request.piece.length << "x" << request.piece.width;
    if (answer.cuts) ++with_cuts;
  }
  EXPECT_GT(with_cuts, 50);
}

// Print jobs whose answers are known, each resting on one part of the engine: the gutter kept
// only between pieces (none at the printable area's edges), the proof that no guillotine layout
// holds more, and the pinwheel layouts that beat every guillotine one.
TEST(PlanTest, KnownPrintJobs) {
  struct Case {
    const char* name;
    Request request;
    std::int64_t ups;
    Proof proof;
  };
  const Margins press{.gripper = Mm(10), .tail = Mm(5), .left = Mm(5), .right = Mm(5)};
  const Case cases[] = {
      {"three along the length, the gutter between them only",
       {.sheet = {Mm(100), Mm(30)}, .piece = {Mm(30), Mm(30)}, .gutter = Mm(5)},
       3,
       Proof::kOptimal},
      {"three along the width, the gutter between them only",
       {.sheet = {Mm(30), Mm(100)}, .piece = {Mm(30), Mm(30)}, .gutter = Mm(5)},
       3,
       Proof::kOptimal},
      {"guillotine cuts hold 21 where 23 might fit",
       {.sheet = {Mm(1020), Mm(720)}, .piece = {Mm(210), Mm(148)}},
       21,
       Proof::kBestGuillotine},
      {"a pinwheel holds two more than any guillotine layout",
       {.sheet = {Mm(787), Mm(546)},
        .piece = {Mm(100), Mm(70)},
        .bleed = Mm(3),
        .gutter = Mm(2),
        .margins = press,
        .cut = CutMode::kDie},
       48,
       Proof::kOptimal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Validate(c.request), std::nullopt);
    const Answer answer = Plan(c.request);
    EXPECT_EQ(CheckAnswer(c.request, answer), std::vector<std::string>());
    EXPECT_EQ(answer.ups, c.ups);
    EXPECT_EQ(answer.proof, c.proof);
    EXPECT_TRUE(answer.complete);
  }
}

// Random guillotine layouts made by splitting the sheet at random and filling each region with a
// grid: the cut program must take apart whatever guillotine layout it is handed.
void FillRandomly(const Request& r, Random& random, Micrometres x0, Micrometres y0, Micrometres x1,
                  Micrometres y1, int depth, std::vector<Block>& blocks) {
  const bool turned = random.Between(0, 1) == 1;
  const Size pitch = SpacingOf(r).Pitch(turned);
  if (depth < 4 && random.Between(0, 2) != 0) {
    const bool along_x = random.Between(0, 1) == 1;
    const Micrometres low = along_x ? x0 : y0, high = along_x ? x1 : y1;
    if (high - low > 2) {
      const Micrometres at = random.Between(low + 1, high - 1);
      FillRandomly(r, random, x0, y0, along_x ? at : x1, along_x ? y1 : at, depth + 1, blocks);
      FillRandomly(r, random, along_x ? at : x0, along_x ? y0 : at, x1, y1, depth + 1, blocks);
      return;
    }
  }
  // The region is in the sheet's coordinates grown by the gutter, as the solvers see it.
  const std::int64_t columns = (x1 - x0) / pitch.length, rows = (y1 - y0) / pitch.width;
  if (columns == 0 || rows == 0) return;
  blocks.push_back({.x = x0 + r.bleed,
                    .y = y0 + r.bleed,
                    .columns = random.Between(1, columns),
                    .rows = random.Between(1, rows),
                    .turned = turned});
}

TEST(CutProgramTest, TakesApartAnyGuillotineLayout) {
  Random random(7);
  for (int i = 0; i < 200; ++i) {
    Request r;
    r.sheet = {random.Between(Mm(100), Mm(1000)), random.Between(Mm(100), Mm(800))};
    r.piece = {random.Between(Mm(10), Mm(150)), random.Between(Mm(10), Mm(150))};
    r.bleed = random.MaybeMm(3);
    r.gutter = random.MaybeMm(4);
    std::vector<Block> blocks;
    FillRandomly(r, random, 0, 0, r.sheet.length + r.gutter, r.sheet.width + r.gutter, 0, blocks);
    const auto cuts = CutProgram(r, blocks);
    ASSERT_TRUE(cuts.has_value()) << "layout " << i;
    EXPECT_EQ(CheckCuts(r, blocks, *cuts), std::vector<std::string>()) << "layout " << i;
  }
}

TEST(CutProgramTest, RefusesAnInterlockedLayout) {
  // Four 2 x 1 pieces turning around an empty centre on a 3 x 3 sheet: no straight cut crosses
  // the sheet without cutting a piece.
  Request r;
  r.sheet = {Mm(3), Mm(3)};
  r.piece = {Mm(2), Mm(1)};
  const std::vector<Block> pinwheel = {
      {.x = 0, .y = 0, .columns = 1, .rows = 1},
      {.x = Mm(2), .y = 0, .columns = 1, .rows = 1, .turned = true},
      {.x = Mm(1), .y = Mm(2), .columns = 1, .rows = 1},
      {.x = 0, .y = Mm(1), .columns = 1, .rows = 1, .turned = true}};
  EXPECT_EQ(CutProgram(r, pinwheel), std::nullopt);
}

struct JobCase {
  const char* name;
  Size sheet, piece;
  Grain grain;
  Job job;
  JobAnswer expected;
};

TEST(JobTest, WorkedExamples) {
  const Size kA4{Mm(210), Mm(297)}, kHalf{Mm(546), Mm(393)}, kParent{Mm(1092), Mm(787)};
  const JobCase cases[] = {
      {"per tonne, four press sheets from a parent",
       kHalf,
       kA4,
       Grain::kAny,
       {.quantity = 5000,
        .parent = kParent,
        .grammage = 157,
        .price = Price{PricePer::kTonne, 6000}},
       {.run_sheets = 2500,
        .press_sheets = 2500,
        .per_parent = 4,
        .parent_sheets = 625,
        .weight_kg = 84.329,
        .cost = 505.97,
        .paper_utilisation = 0.5806}},
      {"overs counted exactly, makeready added, per ream",
       {Mm(1000), Mm(700)},
       {Mm(100), Mm(70)},
       Grain::kAny,
       {.quantity = 100'000,
        .overs_percent = 1.1,
        .makeready = 50,
        .price = Price{PricePer::kReam, 80}},
       {.run_sheets = 1000,
        .press_sheets = 1061,
        .per_parent = 1,
        .parent_sheets = 1061,
        .cost = 169.76,
        .paper_utilisation = 0.9425}},
      {"per square metre, parent kept its way round with the grain",
       {Mm(700), Mm(500)},
       {Mm(90), Mm(50)},
       Grain::kLength,
       {.quantity = 1000,
        .overs_percent = 10,
        .parent = Size{Mm(1000), Mm(1400)},
        .grammage = 90,
        .price = Price{PricePer::kSquareMetre, 0.5}},
       {.run_sheets = 15,
        .press_sheets = 17,
        .per_parent = 2,
        .parent_sheets = 9,
        .weight_kg = 1.134,
        .cost = 6.3,
        .paper_utilisation = 0.3571}},
  };
  for (const JobCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Request request{
        .sheet = c.sheet, .piece = c.piece, .grain = c.grain, .time_limit_ms = 200, .job = c.job};
    ASSERT_EQ(Validate(request), std::nullopt);
    const Answer answer = Plan(request);
    ASSERT_TRUE(answer.job.has_value());
    const JobAnswer& job = *answer.job;
    EXPECT_EQ(job.error, std::nullopt);
    const auto figures = [](const JobAnswer& j) {
      return std::tuple(j.run_sheets, j.press_sheets, j.per_parent, j.parent_sheets, j.weight_kg,
                        j.cost, j.paper_utilisation);
    };
    EXPECT_EQ(figures(job), figures(c.expected));
  }
}

TEST(JobTest, AnswersAnErrorWhenNothingCanBePlanned) {
  Request request{.sheet = {Mm(1000), Mm(700)},
                  .piece = {Mm(100), Mm(100)},
                  .grain = Grain::kLength,
                  .job = Job{.quantity = 10}};
  // A press sheet that fits its parent only turned, which the grain forbids.
  request.job->parent = Size{Mm(800), Mm(1100)};
  EXPECT_EQ(Plan(request).job->error, "the press sheet does not fit the parent sheet");
  request.grain = Grain::kAny;
  EXPECT_EQ(Plan(request).job->per_parent, 1);
  request.piece = {Mm(1200), Mm(100)};
  EXPECT_EQ(Plan(request).job->error, "no piece fits the press sheet");
}

}  // namespace
}  // namespace sheetora::layout
