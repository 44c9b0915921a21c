#include "layout/gang/gang_json.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "layout/json.h"
#include "layout/json_reader.h"

namespace sheetora::layout::gang {
namespace {

using json_io::FieldReader;
using json_io::Node;
using json_io::ObjectReader;
using json_io::Out;

/// The request nests three deep: the request, its items (or paper), an item (or the paper's
/// parent and price).
constexpr std::size_t kMaxDepth = 3;

class GangReader {
 public:
  GangRequest Read(const Node& root) {
    ObjectReader top(root, "");
    fields_.ReadUnit(top);
    GangRequest request;
    request.sheet = fields_.ReadSize(top.Required("sheet"), "sheet");
    if (const Node* n = top.Optional("margins"))
      request.margins = fields_.ReadMargins(*n, "margins");
    if (const Node* n = top.Optional("gutter")) request.gutter = fields_.Length(*n, "gutter");
    if (const Node* n = top.Optional("bleed")) request.bleed = fields_.Length(*n, "bleed");
    if (const Node* n = top.Optional("cut")) request.cut = FieldReader::ReadCut(*n, "cut");
    const Node& items = json_io::Expect(top.Required("items"), Node::Type::kArray, "items");
    // Beyond the most items taken, the rest is not read: the count alone refuses the request.
    for (std::size_t i = 0; i < std::min(items.values.size(), kMaxItems + 1); ++i) {
      request.items.push_back(ReadItem(items.values[i], "items[" + std::to_string(i) + "]"));
    }
    if (const Node* n = top.Optional("max_layouts")) {
      request.max_layouts = Clamped(*n, "max_layouts", kMaxLayouts);
    }
    if (const Node* n = top.Optional("makeready")) {
      request.makeready = FieldReader::Integer(*n, "makeready");
    }
    if (const Node* n = top.Optional("setup_sheets")) {
      request.setup_sheets = FieldReader::Number(*n, "setup_sheets");
    }
    if (const Node* n = top.Optional("overs")) {
      request.overs_percent = FieldReader::Number(*n, "overs");
    }
    if (const Node* n = top.Optional("paper")) request.paper = ReadPaper(*n);
    if (const Node* n = top.Optional("time_limit_ms")) {
      request.time_limit_ms = Clamped(*n, "time_limit_ms", kMaxGangTimeLimitMs);
    }
    top.RefuseUnknown();
    return request;
  }

 private:
  /// A whole number, kept just outside [0, most] when beyond it, for validation to refuse.
  static int Clamped(const Node& node, const std::string& path, int most) {
    return static_cast<int>(
        std::clamp<std::int64_t>(FieldReader::Integer(node, path), -1, std::int64_t{most} + 1));
  }

  GangItem ReadItem(const Node& node, const std::string& path) const {
    ObjectReader object(node, path);
    GangItem item;
    const std::string id_path = object.PathOf("id");
    item.id = json_io::Expect(object.Required("id"), Node::Type::kString, id_path).text;
    item.piece.length = fields_.Length(object.Required("length"), object.PathOf("length"));
    item.piece.width = fields_.Length(object.Required("width"), object.PathOf("width"));
    item.quantity = FieldReader::Integer(object.Required("quantity"), object.PathOf("quantity"));
    if (const Node* n = object.Optional("bleed"))
      item.bleed = fields_.Length(*n, object.PathOf("bleed"));
    if (const Node* n = object.Optional("grain")) {
      item.grain = FieldReader::ReadGrain(*n, object.PathOf("grain"));
    }
    object.RefuseUnknown();
    return item;
  }

  GangPaper ReadPaper(const Node& node) const {
    ObjectReader object(node, "paper");
    GangPaper paper;
    if (const Node* n = object.Optional("parent"))
      paper.parent = fields_.ReadSize(*n, "paper.parent");
    if (const Node* n = object.Optional("grammage")) {
      paper.grammage = FieldReader::Number(*n, "paper.grammage");
    }
    if (const Node* n = object.Optional("price")) {
      paper.price = FieldReader::ReadPrice(*n, "paper.price");
    }
    object.RefuseUnknown();
    return paper;
  }

  FieldReader fields_;
};

/// Costs and bounds are whole sheets unless a setup cost has a fraction.
Out Sheets(double value) {
  if (value == std::floor(value) && std::abs(value) < 1e15) return static_cast<std::int64_t>(value);
  return value;
}

Out LayoutJson(const GangLayout& layout, const GangRequest& request) {
  Out out;
  out["runs"] = layout.runs;
  Out& blocks = out["blocks"] = Out::array();
  for (const GangBlock& b : layout.blocks) {
    blocks.push_back({{"item", request.items[static_cast<std::size_t>(b.item)].id},
                      {"x", json_io::Mm(b.block.x)},
                      {"y", json_io::Mm(b.block.y)},
                      {"columns", b.block.columns},
                      {"rows", b.block.rows},
                      {"turned", b.block.turned}});
  }
  if (layout.cuts) {
    std::vector<CutNode> nodes;
    for (const GangCut& cut : *layout.cuts) nodes.push_back(cut.node);
    Out cuts = json_io::CutsJson(nodes);
    for (std::size_t k = 0; k < nodes.size(); ++k) {
      const int item = (*layout.cuts)[k].item;
      if (item >= 0) cuts[k]["item"] = request.items[static_cast<std::size_t>(item)].id;
    }
    out["cuts"] = std::move(cuts);
  } else {
    out["cuts"] = nullptr;
  }
  if (layout.cuts_note) out["cuts_note"] = std::string(CutsNoteName(*layout.cuts_note));
  out["utilisation"] = layout.utilisation;
  return out;
}

Out PaperJson(const GangPaperAnswer& paper) {
  Out out;
  if (paper.error) {
    out["error"] = *paper.error;
    return out;
  }
  out["per_parent"] = paper.per_parent;
  out["parent_sheets"] = paper.parent_sheets;
  out["weight_kg"] = json_io::NumberOrNull(paper.weight_kg);
  out["cost"] = json_io::NumberOrNull(paper.cost);
  out["paper_utilisation"] = paper.paper_utilisation;
  return out;
}

}  // namespace

std::variant<GangRequest, RequestError> ParseGangRequest(std::string_view text) {
  std::variant<Node, RequestError> tree = json_io::ParseTree(text, kMaxDepth, true);
  if (auto* error = std::get_if<RequestError>(&tree)) return std::move(*error);
  try {
    GangRequest request = GangReader().Read(std::get<Node>(tree));
    if (std::optional<RequestError> error = Validate(request)) return *std::move(error);
    return request;
  } catch (json_io::Refusal& refusal) {
    return std::move(refusal.error);
  }
}

std::string GangAnswerJson(const GangAnswer& answer, const GangRequest& request) {
  Out out;
  out["unit"] = "mm";
  Out& layouts = out["layouts"] = Out::array();
  for (const GangLayout& layout : answer.layouts) layouts.push_back(LayoutJson(layout, request));
  Out& items = out["items"] = Out::array();
  for (const GangItemAnswer& item : answer.items) {
    items.push_back({{"id", item.id}, {"quantity", item.quantity}, {"produced", item.produced}});
  }
  out["sheets"] = answer.sheets;
  out["press_sheets"] = answer.press_sheets;
  out["cost"] = Sheets(answer.cost);
  out["bound"] = Sheets(answer.bound);
  out["proof"] = std::string(ProofName(answer.proof));
  if (answer.paper) out["paper"] = PaperJson(*answer.paper);
  out["complete"] = answer.complete;
  out["elapsed_ms"] = answer.elapsed_ms;
  // Ids are the caller's text: bytes that are not UTF-8 become U+FFFD.
  return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace sheetora::layout::gang
