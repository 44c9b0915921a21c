// Requests read strictly from JSON, and the exact text of answers.
#include "layout/json.h"

#include <gtest/gtest.h>

#include <string>

namespace sheetora::layout {
namespace {

/// A request with the given members after a valid sheet and piece.
std::string WithSheet(const std::string& more) {
  return R"({"sheet": {"length": 1092, "width": 787}, "piece": {"length": 210, "width": 140})" +
         more + "}";
}

std::string FieldRefused(std::string_view text) {
  const auto parsed = ParseRequest(text);
  const auto* error = std::get_if<RequestError>(&parsed);
  return error == nullptr ? "(accepted)" : error->field;
}

TEST(JsonRequestTest, RefusesWhatTheRequestDoesNotDescribe) {
  const std::pair<std::string, const char*> cases[] = {
      {R"({"sheet": {"length": 1092, "width": 787}})", "piece"},
      {R"({"sheet": {"length": 1092}, "piece": {"length": 210, "width": 140}})", "sheet.width"},
      {WithSheet(" x"), ""},                                // trailing bytes
      {WithSheet(R"(, "bleed": 1, "bleed": 2)"), "bleed"},  // duplicate key
      {WithSheet(R"(, "colour": "red")"), "colour"},        // unknown field
      {WithSheet(R"(, "margins": {"top": 3})"), "margins.top"},
      {WithSheet(R"(, "bleed": "3")"), "bleed"},  // wrong type
      {WithSheet(R"(, "bleed": null)"), "bleed"},
      {WithSheet(R"(, "bleed": [3])"), "bleed"},
      {WithSheet(R"(, "grain": "diagonal")"), "grain"},
      {WithSheet(R"(, "unit": "cm")"), "unit"},
      {WithSheet(R"(, "job": {"quantity": 1, "price": {"per_sheet": {"a": 1}}})"),
       "job.price.per_sheet"},                      // deeper than any request
      {WithSheet(R"(, "bleed": 1e999)"), "bleed"},  // beyond any double
      {"[1, 2]", ""},
      {std::string(100'000, '['), ""},
      {WithSheet(R"(, "margins": [[[{"left": 1}]]])"), "margins"},
      {"", ""},
      {R"({"sheet": {"length": 0, "width": 787}, "piece": {"length": 210, "width": 140}})",
       "sheet.length"},
      {R"({"sheet": {"length": 100000.001, "width": 787}, "piece": {"length": 1, "width": 1}})",
       "sheet.length"},
      {WithSheet(R"(, "bleed": -0.001)"), "bleed"},
      {WithSheet(R"(, "gutter": 1000.0006)"), "gutter"},
      {WithSheet(R"(, "margins": {"left": 600, "right": 492})"), "margins"},
      {WithSheet(R"(, "time_limit_ms": 0)"), "time_limit_ms"},
      {WithSheet(R"(, "time_limit_ms": 10001)"), "time_limit_ms"},
      {WithSheet(R"(, "time_limit_ms": 20.5)"), "time_limit_ms"},
      {WithSheet(R"(, "job": {})"), "job.quantity"},
      {WithSheet(R"(, "job": {"quantity": 2.5})"), "job.quantity"},
      {WithSheet(R"(, "job": {"quantity": 0})"), "job.quantity"},
      {WithSheet(R"(, "job": {"quantity": 1, "overs": 101})"), "job.overs"},
      {WithSheet(R"(, "job": {"quantity": 1, "makeready": -1})"), "job.makeready"},
      {WithSheet(R"(, "job": {"quantity": 1, "parent": {"length": 1000}})"), "job.parent.width"},
      {WithSheet(R"(, "job": {"quantity": 1, "grammage": 0})"), "job.grammage"},
      {WithSheet(R"(, "job": {"quantity": 1, "price": {}})"), "job.price"},
      {WithSheet(R"(, "job": {"quantity": 1, "price": {"per_ream": 1, "per_sheet": 1}})"),
       "job.price"},
      {WithSheet(R"(, "job": {"quantity": 1, "price": {"per_tonne": 900}})"), "job.grammage"},
      {WithSheet(R"(, "job": {"quantity": 1, "price": {"per_kg": 9}})"), "job.price.per_kg"},
  };
  for (const auto& [text, field] : cases) {
    EXPECT_EQ(FieldRefused(text), field) << text;
  }
}

// A number beyond any double is well-formed JSON, refused as out of range rather than as bad
// JSON; and the codes that pages word in their own language.
TEST(JsonRequestTest, RefusalsCarryTheirCodes) {
  const std::pair<std::string, ErrorCode> cases[] = {
      {WithSheet(R"(, "gutter": 1e309)"), ErrorCode::kOutOfRange},
      {WithSheet(R"(, "gutter": -1)"), ErrorCode::kOutOfRange},
      {WithSheet(R"(, "gutter": 1, "gutter": 1)"), ErrorCode::kRepeatedField},
      {WithSheet(R"(, "gutter": "1")"), ErrorCode::kWrongType},
      {WithSheet(R"(, "colour": 1)"), ErrorCode::kUnknownField},
      {WithSheet(R"(, "cut": "laser")"), ErrorCode::kNotAChoice},
      {WithSheet(" ]"), ErrorCode::kInvalidJson},
      {R"({"sheet": {"length": 1092, "width": 787}})", ErrorCode::kRequired},
  };
  for (const auto& [text, code] : cases) {
    const auto parsed = ParseRequest(text);
    ASSERT_TRUE(std::holds_alternative<RequestError>(parsed)) << text;
    EXPECT_EQ(std::get<RequestError>(parsed).code, code) << text;
  }
  const auto huge = ParseRequest(WithSheet(R"(, "gutter": 1e309)"));
  EXPECT_EQ(std::get<RequestError>(huge).message, "is out of range");
  EXPECT_EQ(std::get<RequestError>(huge).field, "gutter");
}

TEST(JsonRequestTest, ReadsLengthsToTheNearestMicrometreInEitherUnit) {
  const std::tuple<const char*, const char*, Micrometres> cases[] = {
      {"mm", "210", 210'000},  {"mm", "210.0005", 210'001}, {"mm", "210.00049999", 210'000},
      {"mm", "1.0015", 1'002}, {"mm", "2.1e2", 210'000},    {"mm", "0.0004", 0},
      {"in", "1", 25'400},     {"in", "8.5", 215'900},      {"in", "0.00001", 0},
      {"in", "0.00002", 1},    {"in", "11.75", 298'450},
  };
  for (const auto& [unit, text, expected] : cases) {
    const auto parsed =
        ParseRequest(WithSheet(std::string(R"(, "unit": ")") + unit + R"(", "gutter": )" + text));
    ASSERT_TRUE(std::holds_alternative<Request>(parsed)) << text;
    EXPECT_EQ(std::get<Request>(parsed).gutter, expected) << unit << " " << text;
  }
  // Every length of the request is read in the request's unit, the parent's too.
  const auto inches = ParseRequest(R"({"unit": "in", "sheet": {"length": 40, "width": 30},
      "piece": {"length": 4, "width": 6}, "margins": {"gripper": 0.5},
      "job": {"quantity": 1e3, "parent": {"length": 80, "width": 60}}})");
  ASSERT_TRUE(std::holds_alternative<Request>(inches));
  const Request& r = std::get<Request>(inches);
  EXPECT_EQ(r.sheet.length, 1'016'000);
  EXPECT_EQ(r.margins.gripper, 12'700);
  EXPECT_EQ(r.job->parent->width, 1'524'000);
  EXPECT_EQ(r.job->quantity, 1000);
}

TEST(JsonAnswerTest, WritesTheContractsTextExactly) {
  Answer answer{.ups = 2,
                .bound = 3,
                .proof = Proof::kBestGuillotine,
                .utilisation = 0.5813,
                .blocks = {{.x = 3'500, .y = 10'000, .columns = 2, .rows = 1, .turned = true}},
                .cuts = std::vector<CutNode>{
                    {.id = 0,
                     .length = 546'000,
                     .width = 393'250,
                     .kind = CutKind::kStack,
                     .axis = 'y',
                     .at = {296'999},
                     .parts = {1, 2}},
                    {.id = 1, .length = 546'000, .width = 296'999, .kind = CutKind::kPiece},
                    {.id = 2, .y = 296'999, .length = 546'000, .width = 96'251}}};
  answer.sequence = {
      {.layers = {0}, .length = 546'000, .width = 393'250, .axis = 'y', .at = {296'999}}};
  answer.elapsed_ms = 1.25;
  answer.job = JobAnswer{.run_sheets = 5,
                         .press_sheets = 6,
                         .per_parent = 4,
                         .parent_sheets = 2,
                         .cost = 12.5,
                         .paper_utilisation = 0.5};
  EXPECT_EQ(
      AnswerJson(answer),
      R"({"unit":"mm","ups":2,"bound":3,"proof":"best-guillotine","utilisation":0.5813,)"
      R"("blocks":[{"x":3.5,"y":10,"columns":2,"rows":1,"turned":true}],"cuts":[)"
      R"({"id":0,"x":0,"y":0,"length":546,"width":393.25,"kind":"stack","axis":"y","at":[296.999],"parts":[1,2]},)"
      R"({"id":1,"x":0,"y":0,"length":546,"width":296.999,"kind":"piece","axis":null,"at":[],"parts":[]},)"
      R"({"id":2,"x":0,"y":296.999,"length":546,"width":96.251,"kind":"waste","axis":null,"at":[],"parts":[]}],)"
      R"("sequence":[{"layers":[0],"length":546,"width":393.25,"axis":"y","at":[296.999],"turn":false,"cycles":1}],)"
      R"("cycles":1,"complete":true,"elapsed_ms":1.25,"job":{"run_sheets":5,"press_sheets":6,"per_parent":4,"parent_sheets":2,)"
      R"("weight_kg":null,"cost":12.5,"paper_utilisation":0.5}})"
      "\n");
  answer.cuts.reset();
  answer.sequence.reset();
  answer.cuts_note = CutsNote::kTooManyPieces;
  answer.complete = false;
  answer.job = JobAnswer{.error = "no piece fits the press sheet"};
  const std::string text = AnswerJson(answer);
  EXPECT_NE(
      text.find(
          R"("cuts":null,"cuts_note":"too-many-pieces","sequence":null,"cycles":null,"complete":false,)"),
      std::string::npos);
  EXPECT_NE(text.find(R"("job":{"error":"no piece fits the press sheet"}})"), std::string::npos);
}

}  // namespace
}  // namespace sheetora::layout
