// Requests read from JSON, strictly, field by field.
#include <algorithm>
#include <optional>
#include <utility>

#include "layout/json.h"
#include "layout/json_reader.h"
#include "layout/plan.h"

namespace sheetora::layout {
namespace {

using json_io::FieldReader;
using json_io::Node;
using json_io::ObjectReader;

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

}  // namespace

std::variant<Request, RequestError> ParseRequest(std::string_view text) {
  std::variant<Node, RequestError> tree = json_io::ParseTree(text, kMaxDepth, false);
  if (auto* error = std::get_if<RequestError>(&tree)) return std::move(*error);
  try {
    Request request = RequestReader().Read(std::get<Node>(tree));
    if (std::optional<RequestError> error = Validate(request)) return *std::move(error);
    return request;
  } catch (json_io::Refusal& refusal) {
    return std::move(refusal.error);
  }
}

}  // namespace sheetora::layout
