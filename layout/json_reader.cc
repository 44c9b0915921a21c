#include "layout/json_reader.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "layout/decimal.h"

namespace sheetora::layout::json_io {
namespace {

using nlohmann::json;

/// Builds Nodes from the parser's events, refusing duplicate keys and deep nesting as they come
/// (so a hostile document costs no more than its size), and tracking the path for messages.
class TreeBuilder final : public nlohmann::json_sax<json> {
 public:
  TreeBuilder(std::size_t max_depth, bool name_indexes)
      : max_depth_(max_depth), name_indexes_(name_indexes) {}

  bool null() override { return Add(Node{}); }
  bool boolean(bool value) override { return Add({.type = Node::Type::kBool, .boolean = value}); }
  bool number_integer(number_integer_t value) override {
    return Add({.type = Node::Type::kNumber,
                .number = static_cast<double>(value),
                .text = std::to_string(value)});
  }
  bool number_unsigned(number_unsigned_t value) override {
    return Add({.type = Node::Type::kNumber,
                .number = static_cast<double>(value),
                .text = std::to_string(value)});
  }
  bool number_float(number_float_t value, const string_t& text) override {
    return Add({.type = Node::Type::kNumber, .number = value, .text = text});
  }
  bool string(string_t& value) override {
    return Add({.type = Node::Type::kString, .text = std::move(value)});
  }
  bool binary(binary_t&) override { return Add(Node{}); }
  bool start_object(std::size_t) override { return Open(Node::Type::kObject); }
  bool start_array(std::size_t) override { return Open(Node::Type::kArray); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& key) override {
    // A set per open object keeps the check linear in the document, however many keys it has.
    if (!keys_seen_.back().insert(key).second) {
      return Fail(ErrorCode::kRepeatedField, "appears twice", Path(key));
    }
    pending_key_ = std::move(key);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    // A number beyond any double is good JSON, but out of every field's range.
    if (e.id == kNumberOverflow) {
      return Fail(ErrorCode::kOutOfRange, "is out of range", Path(pending_key_));
    }
    // The library's text names the line, column and token; its "[json.exception...] " tag
    // means nothing to a caller.
    std::string_view what = e.what();
    if (const auto tag_end = what.find("] "); tag_end != std::string_view::npos) {
      what.remove_prefix(tag_end + 2);
    }
    return Fail(ErrorCode::kInvalidJson, "not valid JSON: " + std::string(what),
                Path(pending_key_));
  }

  std::optional<RequestError> error;
  Node root;

 private:
  std::string Path(std::string_view last) const {
    // An array's item is named by its index, when named, right after the array's own name.
    std::string path;
    for (const std::string_view key : path_) {
      if (key.starts_with('[') && !path.empty()) path.pop_back();
      if (!key.empty()) path.append(key).push_back('.');
    }
    if (last.empty() && !path.empty()) path.pop_back();
    return path.append(last);
  }

  bool Fail(ErrorCode code, std::string message, std::string field) {
    if (!error) error = RequestError{code, std::move(message), std::move(field)};
    return false;
  }

  bool Open(Node::Type type) {
    if (open_.size() == max_depth_) {
      return Fail(ErrorCode::kTooDeep, "nests deeper than a request does", Path(pending_key_));
    }
    if (name_indexes_ && !open_.empty() && open_.back().type == Node::Type::kArray) {
      pending_key_.assign(1, '[').append(std::to_string(open_.back().values.size())).push_back(']');
    }
    if (!open_.empty()) path_.push_back(std::move(pending_key_));
    pending_key_.clear();
    open_.push_back({.type = type});
    keys_seen_.emplace_back();
    return true;
  }

  bool Close() {
    Node done = std::move(open_.back());
    open_.pop_back();
    keys_seen_.pop_back();
    if (open_.empty()) {
      root = std::move(done);
      return true;
    }
    pending_key_ = std::move(path_.back());
    path_.pop_back();
    return Add(std::move(done));
  }

  bool Add(Node value) {
    if (open_.empty()) {
      root = std::move(value);
      return true;
    }
    Node& parent = open_.back();
    if (parent.type == Node::Type::kObject) parent.keys.push_back(std::move(pending_key_));
    pending_key_.clear();
    parent.values.push_back(std::move(value));
    return true;
  }

  // The library's id for a number too large for a double ("number overflow").
  static constexpr int kNumberOverflow = 406;

  std::size_t max_depth_;
  bool name_indexes_;
  std::vector<Node> open_;
  std::vector<std::unordered_set<std::string>> keys_seen_;  // by open object or array
  std::vector<std::string> path_;  // the keys of the open objects below the root
  std::string pending_key_;
};

const char* TypeName(Node::Type type) {
  switch (type) {
    case Node::Type::kNull:
      return "null";
    case Node::Type::kBool:
      return "true or false";
    case Node::Type::kNumber:
      return "a number";
    case Node::Type::kString:
      return "a string";
    case Node::Type::kObject:
      return "an object";
    case Node::Type::kArray:
      return "an array";
  }
  return "";
}

}  // namespace

void Refuse(ErrorCode code, std::string message, std::string field) {
  throw Refusal{{code, std::move(message), std::move(field)}};
}

const Node& Expect(const Node& node, Node::Type type, const std::string& path) {
  if (node.type != type) {
    Refuse(ErrorCode::kWrongType,
           std::string("must be ") + TypeName(type) + ", not " + TypeName(node.type), path);
  }
  return node;
}

std::variant<Node, RequestError> ParseTree(std::string_view text, std::size_t max_depth,
                                           bool name_indexes) {
  TreeBuilder builder(max_depth, name_indexes);
  if (!json::sax_parse(text, &builder)) {
    return builder.error.value_or(RequestError{ErrorCode::kInvalidJson, "not valid JSON", ""});
  }
  return std::move(builder.root);
}

ObjectReader::ObjectReader(const Node& node, std::string path)
    : node_(Expect(node, Node::Type::kObject, path)),
      path_(std::move(path)),
      taken_(node.keys.size(), false) {}

std::string ObjectReader::PathOf(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

const Node* ObjectReader::Optional(std::string_view key) {
  for (std::size_t i = 0; i < node_.keys.size(); ++i) {
    if (node_.keys[i] == key) {
      taken_[i] = true;
      return &node_.values[i];
    }
  }
  return nullptr;
}

const Node& ObjectReader::Required(std::string_view key) {
  const Node* value = Optional(key);
  if (value == nullptr) Refuse(ErrorCode::kRequired, "is required", PathOf(key));
  return *value;
}

void ObjectReader::RefuseUnknown() const {
  for (std::size_t i = 0; i < node_.keys.size(); ++i) {
    if (!taken_[i]) {
      Refuse(ErrorCode::kUnknownField, "is not a field of the request", PathOf(node_.keys[i]));
    }
  }
}

void FieldReader::ReadUnit(ObjectReader& top) {
  if (const Node* unit = top.Optional("unit")) {
    micrometres_per_unit_ = Choice<std::int64_t>(*unit, "unit", {{"mm", 1000}, {"in", 25'400}});
  }
}

Micrometres FieldReader::Length(const Node& node, const std::string& path) const {
  return RoundScaled(ReadDecimal(Expect(node, Node::Type::kNumber, path).text),
                     micrometres_per_unit_);
}

std::int64_t FieldReader::Integer(const Node& node, const std::string& path) {
  bool exact = false;
  const std::int64_t value =
      RoundScaled(ReadDecimal(Expect(node, Node::Type::kNumber, path).text), 1, &exact);
  if (!exact) Refuse(ErrorCode::kNotWhole, "must be a whole number", path);
  return value;
}

double FieldReader::Number(const Node& node, const std::string& path) {
  return Expect(node, Node::Type::kNumber, path).number;
}

Size FieldReader::ReadSize(const Node& node, const std::string& path) const {
  ObjectReader object(node, path);
  Size size{.length = Length(object.Required("length"), object.PathOf("length")),
            .width = Length(object.Required("width"), object.PathOf("width"))};
  object.RefuseUnknown();
  return size;
}

Margins FieldReader::ReadMargins(const Node& node, const std::string& path) const {
  ObjectReader object(node, path);
  Margins margins;
  Micrometres* const sides[] = {&margins.gripper, &margins.tail, &margins.left, &margins.right};
  const char* const names[] = {"gripper", "tail", "left", "right"};
  for (int i = 0; i < 4; ++i) {
    if (const Node* side = object.Optional(names[i])) {
      *sides[i] = Length(*side, object.PathOf(names[i]));
    }
  }
  object.RefuseUnknown();
  return margins;
}

namespace {

constexpr std::pair<std::string_view, Grain> kGrains[] = {
    {"any", Grain::kAny}, {"length", Grain::kLength}, {"width", Grain::kWidth}};
constexpr std::pair<std::string_view, CutMode> kCuts[] = {{"guillotine", CutMode::kGuillotine},
                                                          {"die", CutMode::kDie}};
constexpr std::pair<std::string_view, PricePer> kPrices[] = {{"per_tonne", PricePer::kTonne},
                                                             {"per_ream", PricePer::kReam},
                                                             {"per_sheet", PricePer::kSheet},
                                                             {"per_m2", PricePer::kSquareMetre}};
constexpr std::pair<std::string_view, Sides> kSides[] = {
    {"single", Sides::kSingle},
    {"sheetwise", Sides::kSheetwise},
    {"work-and-turn", Sides::kWorkAndTurn},
    {"work-and-tumble", Sides::kWorkAndTumble}};

template <typename T, std::size_t N>
std::string_view NameIn(const std::pair<std::string_view, T> (&names)[N], T value) {
  for (const auto& [name, v] : names) {
    if (v == value) return name;
  }
  return {};
}

}  // namespace

std::string_view GrainName(Grain grain) { return NameIn(kGrains, grain); }
std::string_view CutName(CutMode cut) { return NameIn(kCuts, cut); }
std::string_view PriceName(PricePer per) { return NameIn(kPrices, per); }
std::string_view SidesName(Sides sides) { return NameIn(kSides, sides); }

Grain FieldReader::ReadGrain(const Node& node, const std::string& path) {
  return Choice<Grain>(node, path, std::span(kGrains));
}

CutMode FieldReader::ReadCut(const Node& node, const std::string& path) {
  return Choice<CutMode>(node, path, std::span(kCuts));
}

Sides FieldReader::ReadSides(const Node& node, const std::string& path) {
  return Choice<Sides>(node, path, std::span(kSides));
}

Price FieldReader::ReadPrice(const Node& node, const std::string& path) {
  ObjectReader object(node, path);
  if (object.size() != 1) {
    Refuse(ErrorCode::kOnePrice,
           "must hold exactly one of per_tonne, per_ream, per_sheet and per_m2", path);
  }
  for (const auto& [name, per] : kPrices) {
    if (const Node* n = object.Optional(name)) {
      return {.per = per, .amount = Number(*n, object.PathOf(name))};
    }
  }
  object.RefuseUnknown();
  return {};
}

/// A length in mm as the answer writes it: a whole number when it is one.
Out Mm(Micrometres length) {
  if (length % kMicrometresPerMm == 0) return length / kMicrometresPerMm;
  return static_cast<double>(length) / kMicrometresPerMm;
}

namespace {

const char* KindName(CutKind kind) {
  switch (kind) {
    case CutKind::kStack:
      return "stack";
    case CutKind::kPiece:
      return "piece";
    case CutKind::kWaste:
      return "waste";
  }
  return "waste";
}

}  // namespace

Out NumberOrNull(const std::optional<double>& value) { return value ? Out(*value) : Out(nullptr); }

Out CutsJson(const std::vector<CutNode>& cuts) {
  auto out = Out::array();
  out.get_ref<Out::array_t&>().reserve(cuts.size());
  for (const CutNode& node : cuts) {
    Out& item = out.emplace_back(Out::object());
    item["id"] = node.id;
    item["x"] = Mm(node.x);
    item["y"] = Mm(node.y);
    item["length"] = Mm(node.length);
    item["width"] = Mm(node.width);
    item["kind"] = KindName(node.kind);
    item["axis"] = node.axis ? Out(std::string(1, *node.axis)) : Out(nullptr);
    Out& at = item["at"] = Out::array();
    for (const Micrometres p : node.at) at.push_back(Mm(p));
    item["parts"] = node.parts;
  }
  return out;
}

}  // namespace sheetora::layout::json_io
