#include "layout/json.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "layout/json_reader.h"
#include "layout/plan.h"

namespace sheetora::layout {
namespace {

using json_io::FieldReader;
using json_io::Node;
using json_io::ObjectReader;
using json_io::Out;

/// The request's objects nest three deep: the request, its job, the job's parent and price.
constexpr std::size_t kMaxDepth = 3;

/// Reads one request object by object, every length in the request's unit.
class RequestReader {
 public:
  Request Read(const Node& root) {
    ObjectReader top(root, "");
    fields_.ReadUnit(top);
    Request request;
    request.sheet = fields_.ReadSize(top.Required("sheet"), "sheet");
    request.piece = fields_.ReadSize(top.Required("piece"), "piece");
    if (const Node* n = top.Optional("bleed")) request.bleed = fields_.Length(*n, "bleed");
    if (const Node* n = top.Optional("gutter")) request.gutter = fields_.Length(*n, "gutter");
    if (const Node* n = top.Optional("margins")) {
      request.margins = fields_.ReadMargins(*n, "margins");
    }
    if (const Node* n = top.Optional("grain")) request.grain = FieldReader::ReadGrain(*n, "grain");
    if (const Node* n = top.Optional("cut")) request.cut = FieldReader::ReadCut(*n, "cut");
    if (const Node* n = top.Optional("time_limit_ms")) {
      request.time_limit_ms = static_cast<int>(
          std::clamp<std::int64_t>(fields_.Integer(*n, "time_limit_ms"), -1, kMaxTimeLimitMs + 1));
    }
    if (const Node* n = top.Optional("job")) request.job = ReadJob(*n);
    top.RefuseUnknown();
    return request;
  }

 private:
  [[nodiscard]] Job ReadJob(const Node& node) const {
    ObjectReader object(node, "job");
    Job job;
    job.quantity = fields_.Integer(object.Required("quantity"), "job.quantity");
    if (const Node* n = object.Optional("overs"))
      job.overs_percent = fields_.Number(*n, "job.overs");
    if (const Node* n = object.Optional("makeready")) {
      job.makeready = fields_.Integer(*n, "job.makeready");
    }
    if (const Node* n = object.Optional("parent")) job.parent = fields_.ReadSize(*n, "job.parent");
    if (const Node* n = object.Optional("grammage"))
      job.grammage = fields_.Number(*n, "job.grammage");
    if (const Node* n = object.Optional("price"))
      job.price = FieldReader::ReadPrice(*n, "job.price");
    object.RefuseUnknown();
    return job;
  }

  FieldReader fields_;
};

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

}  // namespace

std::variant<Request, RequestError> ParseRequest(std::string_view text) {
  std::variant<Node, RequestError> tree = json_io::ParseTree(text, kMaxDepth, false);
  if (auto* error = std::get_if<RequestError>(&tree)) return *std::move(error);
  try {
    Request request = RequestReader().Read(std::get<Node>(tree));
    if (std::optional<RequestError> error = Validate(request)) return *std::move(error);
    return request;
  } catch (json_io::Refusal& refusal) {
    return std::move(refusal.error);
  }
}

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
