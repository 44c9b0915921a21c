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
    if (const Node* n = top.Optional("sides")) request.sides = FieldReader::ReadSides(*n, "sides");
    if (const Node* n = top.Optional("marks")) {
      ObjectReader marks(*n, "marks");
      for (const auto& [name, flag] : {std::pair{"crop", &request.marks.crop},
                                       std::pair{"registration", &request.marks.registration},
                                       std::pair{"slug", &request.marks.slug}}) {
        if (const Node* mark = marks.Optional(name)) {
          *flag = json_io::Expect(*mark, Node::Type::kBool, marks.PathOf(name)).boolean;
        }
      }
      marks.RefuseUnknown();
    }
    if (const Node* n = top.Optional("max_stack")) {
      request.max_stack = static_cast<int>(
          std::clamp<std::int64_t>(fields_.Integer(*n, "max_stack"), 0, kMaxMaxStack + 1));
    }
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

Out SizeJson(const Size& size) {
  return {{"length", json_io::Mm(size.length)}, {"width", json_io::Mm(size.width)}};
}

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

std::string RequestJson(const Request& r) {
  using json_io::Mm;
  Out out;
  out["sheet"] = SizeJson(r.sheet);
  out["piece"] = SizeJson(r.piece);
  out["bleed"] = Mm(r.bleed);
  out["gutter"] = Mm(r.gutter);
  out["margins"] = {{"gripper", Mm(r.margins.gripper)},
                    {"tail", Mm(r.margins.tail)},
                    {"left", Mm(r.margins.left)},
                    {"right", Mm(r.margins.right)}};
  out["grain"] = json_io::GrainName(r.grain);
  out["cut"] = json_io::CutName(r.cut);
  out["time_limit_ms"] = r.time_limit_ms;
  if (r.job) {
    Out& job = out["job"] = {{"quantity", r.job->quantity},
                             {"overs", r.job->overs_percent},
                             {"makeready", r.job->makeready}};
    if (r.job->parent) job["parent"] = SizeJson(*r.job->parent);
    if (r.job->grammage) job["grammage"] = *r.job->grammage;
    if (r.job->price) {
      job["price"] = {{json_io::PriceName(r.job->price->per), r.job->price->amount}};
    }
  }
  out["sides"] = json_io::SidesName(r.sides);
  out["marks"] = {
      {"crop", r.marks.crop}, {"registration", r.marks.registration}, {"slug", r.marks.slug}};
  out["max_stack"] = r.max_stack;
  return out.dump();
}

}  // namespace sheetora::layout
