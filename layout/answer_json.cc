// Answers and refusals written as JSON: the exact text the contract describes.
#include <nlohmann/json.hpp>

#include "layout/json.h"
#include "layout/json_reader.h"
#include "layout/lifts.h"

namespace sheetora::layout {
namespace {

using json_io::Out;

Out JobJson(const JobAnswer& job) {
  Out out;
  if (job.error) {
    out["error"] = *job.error;
    return out;
  }
  out["run_sheets"] = job.run_sheets;
  out["press_sheets"] = job.press_sheets;
  out["per_parent"] = job.per_parent;
  out["parent_sheets"] = job.parent_sheets;
  out["weight_kg"] = json_io::NumberOrNull(job.weight_kg);
  out["cost"] = json_io::NumberOrNull(job.cost);
  out["paper_utilisation"] = job.paper_utilisation;
  return out;
}

Out LiftsJson(const std::vector<Lift>& lifts) {
  auto out = Out::array();
  for (const Lift& lift : lifts) {
    Out& item = out.emplace_back(Out::object());
    item["layers"] = lift.layers;
    item["length"] = json_io::Mm(lift.length);
    item["width"] = json_io::Mm(lift.width);
    item["axis"] = std::string(1, lift.axis);
    Out& at = item["at"] = Out::array();
    for (const Micrometres p : lift.at) at.push_back(json_io::Mm(p));
    item["turn"] = lift.turn;
    item["cycles"] = lift.at.size();
  }
  return out;
}

}  // namespace

std::string AnswerJson(const Answer& answer) {
  Out out;
  out["unit"] = "mm";
  out["ups"] = answer.ups;
  out["bound"] = answer.bound;
  out["proof"] = std::string(ProofName(answer.proof));
  out["utilisation"] = answer.utilisation;
  out["blocks"] = Out::array();
  for (const Block& b : answer.blocks) {
    out["blocks"].push_back({{"x", json_io::Mm(b.x)},
                             {"y", json_io::Mm(b.y)},
                             {"columns", b.columns},
                             {"rows", b.rows},
                             {"turned", b.turned}});
  }
  out["cuts"] = answer.cuts ? json_io::CutsJson(*answer.cuts) : Out(nullptr);
  if (answer.cuts_note) out["cuts_note"] = std::string(CutsNoteName(*answer.cuts_note));
  out["sequence"] = answer.sequence ? LiftsJson(*answer.sequence) : Out(nullptr);
  out["cycles"] = answer.sequence ? Out(Cycles(*answer.sequence)) : Out(nullptr);
  out["complete"] = answer.complete;
  out["elapsed_ms"] = answer.elapsed_ms;
  if (answer.job) out["job"] = JobJson(*answer.job);
  return out.dump() + "\n";
}

std::string ErrorJson(const RequestError& error) {
  const Out out = {{"error", error.message}, {"field", error.field}};
  // Messages may quote what the caller sent: bytes that are not UTF-8 become U+FFFD.
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string_view CutsNoteName(CutsNote note) {
  switch (note) {
    case CutsNote::kDie:
      return "die";
    case CutsNote::kTooManyPieces:
      return "too-many-pieces";
    case CutsNote::kNotGuillotine:
      return "not-guillotine";
  }
  return "not-guillotine";
}

std::string_view ProofName(Proof proof) {
  switch (proof) {
    case Proof::kOptimal:
      return "optimal";
    case Proof::kBestGuillotine:
      return "best-guillotine";
    case Proof::kNone:
      return "none";
  }
  return "none";
}

}  // namespace sheetora::layout
