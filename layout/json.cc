#include "layout/json.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "layout/plan.h"

namespace sheetora::layout {
namespace {

using nlohmann::json;

/// What the reader refuses; caught once, in ParseRequest.
struct Refusal {
  RequestError error;
};

[[noreturn]] void Refuse(ErrorCode code, std::string message, std::string field) {
  throw Refusal{{code, std::move(message), std::move(field)}};
}

/// A parsed JSON value. Numbers keep the text they were written as, so that lengths round from
/// the decimal the caller wrote, not from its nearest binary double.
struct Node {
  enum class Type { kNull, kBool, kNumber, kString, kObject, kArray };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;               // a string's value, or a number as written
  std::vector<std::string> keys;  // an object's keys, in order, with their values beside them
  std::vector<Node> values;       // an object's or an array's values
};

/// The request's objects nest three deep: the request, its job, the job's parent and price.
constexpr std::size_t kMaxDepth = 3;

/// Builds Nodes from the parser's events, refusing duplicate keys and deep nesting as they come
/// (so a hostile document costs no more than its size), and tracking the path for messages.
class TreeBuilder final : public nlohmann::json_sax<json> {
 public:
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
    const Node& object = open_.back();
    for (const std::string& seen : object.keys) {
      if (seen == key) return Fail(ErrorCode::kRepeatedField, "appears twice", Path(key));
    }
    pending_key_ = std::move(key);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
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
    // Arrays hold no field of a request, so their items add nothing to the path.
    std::string path;
    for (const std::string_view key : path_) {
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
    if (open_.size() == kMaxDepth) {
      return Fail(ErrorCode::kTooDeep, "nests deeper than a request does", Path(pending_key_));
    }
    if (!open_.empty()) path_.push_back(std::move(pending_key_));
    pending_key_.clear();
    open_.push_back({.type = type});
    return true;
  }

  bool Close() {
    Node done = std::move(open_.back());
    open_.pop_back();
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

  std::vector<Node> open_;
  std::vector<std::string> path_;  // the keys of the open objects below the root
  std::string pending_key_;
};

/// A number as written: mantissa x 10^exponent, the mantissa cut to 30 significant digits
/// (beyond them a digit moves no length by a micrometre).
struct Decimal {
  __int128 mantissa = 0;
  int exponent = 0;
  bool negative = false;
};

Decimal ReadDecimal(std::string_view text) {
  Decimal d;
  std::size_t i = 0;
  if (i < text.size() && text[i] == '-') {
    d.negative = true;
    ++i;
  }
  int digits = 0;
  bool fraction = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.') {
      fraction = true;
      continue;
    }
    if (digits < 30) {
      d.mantissa = d.mantissa * 10 + (text[i] - '0');
      if (d.mantissa != 0) ++digits;
      if (fraction) --d.exponent;
    } else if (!fraction) {
      ++d.exponent;
    }
  }
  if (i < text.size()) {
    // The exponent of a finite double fits in an int; clamped anyway, far beyond any length.
    const long long written = std::strtoll(std::string(text.substr(i + 1)).c_str(), nullptr, 10);
    d.exponent += static_cast<int>(std::clamp(written, -100'000LL, 100'000LL));
  }
  return d;
}

/// The nearest whole number to decimal x scale, halves away from zero; `exact` tells whether no
/// rounding took place. Magnitudes beyond 10^15 are clamped there: no field takes them.
std::int64_t RoundScaled(const Decimal& d, std::int64_t scale, bool* exact = nullptr) {
  constexpr __int128 kCap = 1'000'000'000'000'000;
  __int128 n = d.mantissa * scale;
  bool is_exact = true;
  if (d.exponent >= 0) {
    for (int e = 0; e < d.exponent && n < kCap; ++e) n *= 10;
  } else if (d.exponent < -37) {
    is_exact = n == 0;
    n = 0;
  } else {
    __int128 divisor = 1;
    for (int e = 0; e < -d.exponent; ++e) divisor *= 10;
    const __int128 rest = n % divisor;
    n = n / divisor + (2 * rest >= divisor ? 1 : 0);
    is_exact = rest == 0;
  }
  if (exact != nullptr) *exact = is_exact;
  n = std::min(n, kCap);
  return static_cast<std::int64_t>(d.negative ? -n : n);
}

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

const Node& Expect(const Node& node, Node::Type type, const std::string& path) {
  if (node.type != type) {
    Refuse(ErrorCode::kWrongType,
           std::string("must be ") + TypeName(type) + ", not " + TypeName(node.type), path);
  }
  return node;
}

/// One object of the request: its fields are taken by name, and whatever is left over when the
/// reader is done with it is unknown.
class ObjectReader {
 public:
  ObjectReader(const Node& node, std::string path)
      : node_(Expect(node, Node::Type::kObject, path)),
        path_(std::move(path)),
        taken_(node.keys.size(), false) {}

  std::string PathOf(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
  }

  const Node* Optional(std::string_view key) {
    for (std::size_t i = 0; i < node_.keys.size(); ++i) {
      if (node_.keys[i] == key) {
        taken_[i] = true;
        return &node_.values[i];
      }
    }
    return nullptr;
  }

  const Node& Required(std::string_view key) {
    const Node* value = Optional(key);
    if (value == nullptr) Refuse(ErrorCode::kRequired, "is required", PathOf(key));
    return *value;
  }

  void RefuseUnknown() const {
    for (std::size_t i = 0; i < node_.keys.size(); ++i) {
      if (!taken_[i])
        Refuse(ErrorCode::kUnknownField, "is not a field of the request", PathOf(node_.keys[i]));
    }
  }

  std::size_t size() const { return node_.keys.size(); }

 private:
  const Node& node_;
  std::string path_;
  std::vector<bool> taken_;
};

/// Reads one request object by object, every length in the request's unit.
class RequestReader {
 public:
  Request Read(const Node& root) {
    ObjectReader top(root, "");
    if (const Node* unit = top.Optional("unit")) {
      micrometres_per_unit_ = Choice<std::int64_t>(*unit, "unit", {{"mm", 1000}, {"in", 25'400}});
    }
    Request request;
    request.sheet = ReadSize(top.Required("sheet"), "sheet");
    request.piece = ReadSize(top.Required("piece"), "piece");
    if (const Node* n = top.Optional("bleed")) request.bleed = Length(*n, "bleed");
    if (const Node* n = top.Optional("gutter")) request.gutter = Length(*n, "gutter");
    if (const Node* n = top.Optional("margins")) {
      ObjectReader margins(*n, "margins");
      Micrometres* const sides[] = {&request.margins.gripper, &request.margins.tail,
                                    &request.margins.left, &request.margins.right};
      const char* const names[] = {"gripper", "tail", "left", "right"};
      for (int i = 0; i < 4; ++i) {
        if (const Node* side = margins.Optional(names[i])) {
          *sides[i] = Length(*side, margins.PathOf(names[i]));
        }
      }
      margins.RefuseUnknown();
    }
    if (const Node* n = top.Optional("grain")) {
      request.grain = Choice<Grain>(
          *n, "grain",
          {{"any", Grain::kAny}, {"length", Grain::kLength}, {"width", Grain::kWidth}});
    }
    if (const Node* n = top.Optional("cut")) {
      request.cut = Choice<CutMode>(*n, "cut",
                                    {{"guillotine", CutMode::kGuillotine}, {"die", CutMode::kDie}});
    }
    if (const Node* n = top.Optional("time_limit_ms")) {
      request.time_limit_ms = static_cast<int>(
          std::clamp<std::int64_t>(Integer(*n, "time_limit_ms"), -1, kMaxTimeLimitMs + 1));
    }
    if (const Node* n = top.Optional("job")) request.job = ReadJob(*n);
    top.RefuseUnknown();
    return request;
  }

 private:
  template <typename T>
  static T Choice(const Node& node, const std::string& path,
                  std::initializer_list<std::pair<std::string_view, T>> choices) {
    Expect(node, Node::Type::kString, path);
    std::string names;
    for (const auto& [name, value] : choices) {
      if (node.text == name) return value;
      names.append(names.empty() ? "\"" : ", \"").append(name).push_back('"');
    }
    Refuse(ErrorCode::kNotAChoice, "must be one of " + names, path);
  }

  Micrometres Length(const Node& node, const std::string& path) const {
    return RoundScaled(ReadDecimal(Expect(node, Node::Type::kNumber, path).text),
                       micrometres_per_unit_);
  }

  static std::int64_t Integer(const Node& node, const std::string& path) {
    bool exact = false;
    const std::int64_t value =
        RoundScaled(ReadDecimal(Expect(node, Node::Type::kNumber, path).text), 1, &exact);
    if (!exact) Refuse(ErrorCode::kNotWhole, "must be a whole number", path);
    return value;
  }

  static double Number(const Node& node, const std::string& path) {
    return Expect(node, Node::Type::kNumber, path).number;
  }

  Size ReadSize(const Node& node, const std::string& path) const {
    ObjectReader object(node, path);
    Size size{.length = Length(object.Required("length"), object.PathOf("length")),
              .width = Length(object.Required("width"), object.PathOf("width"))};
    object.RefuseUnknown();
    return size;
  }

  Job ReadJob(const Node& node) const {
    ObjectReader object(node, "job");
    Job job;
    job.quantity = Integer(object.Required("quantity"), "job.quantity");
    if (const Node* n = object.Optional("overs")) job.overs_percent = Number(*n, "job.overs");
    if (const Node* n = object.Optional("makeready")) {
      job.makeready = Integer(*n, "job.makeready");
    }
    if (const Node* n = object.Optional("parent")) job.parent = ReadSize(*n, "job.parent");
    if (const Node* n = object.Optional("grammage")) job.grammage = Number(*n, "job.grammage");
    if (const Node* n = object.Optional("price")) job.price = ReadPrice(*n);
    object.RefuseUnknown();
    return job;
  }

  static Price ReadPrice(const Node& node) {
    ObjectReader object(node, "job.price");
    if (object.size() != 1) {
      Refuse(ErrorCode::kOnePrice,
             "must hold exactly one of per_tonne, per_ream, per_sheet and per_m2", "job.price");
    }
    const std::pair<const char*, PricePer> kinds[] = {{"per_tonne", PricePer::kTonne},
                                                      {"per_ream", PricePer::kReam},
                                                      {"per_sheet", PricePer::kSheet},
                                                      {"per_m2", PricePer::kSquareMetre}};
    for (const auto& [name, per] : kinds) {
      if (const Node* n = object.Optional(name)) {
        return {.per = per, .amount = Number(*n, object.PathOf(name))};
      }
    }
    object.RefuseUnknown();
    return {};
  }

  std::int64_t micrometres_per_unit_ = kMicrometresPerMm;
};

using Out = nlohmann::ordered_json;

/// A length in mm as the answer writes it: a whole number when it is one.
Out Mm(Micrometres length) {
  if (length % kMicrometresPerMm == 0) return length / kMicrometresPerMm;
  return static_cast<double>(length) / kMicrometresPerMm;
}

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

Out NumberOrNull(const std::optional<double>& value) { return value ? Out(*value) : Out(nullptr); }

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
  out["weight_kg"] = NumberOrNull(job.weight_kg);
  out["cost"] = NumberOrNull(job.cost);
  out["paper_utilisation"] = job.paper_utilisation;
  return out;
}

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

}  // namespace

std::variant<Request, RequestError> ParseRequest(std::string_view text) {
  TreeBuilder builder;
  if (!json::sax_parse(text, &builder)) {
    return builder.error.value_or(RequestError{ErrorCode::kInvalidJson, "not valid JSON", ""});
  }
  try {
    Request request = RequestReader().Read(builder.root);
    if (std::optional<RequestError> error = Validate(request)) return *std::move(error);
    return request;
  } catch (Refusal& refusal) {
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
    out["blocks"].push_back({{"x", Mm(b.x)},
                             {"y", Mm(b.y)},
                             {"columns", b.columns},
                             {"rows", b.rows},
                             {"turned", b.turned}});
  }
  out["cuts"] = answer.cuts ? CutsJson(*answer.cuts) : Out(nullptr);
  if (answer.cuts_note) out["cuts_note"] = std::string(CutsNoteName(*answer.cuts_note));
  out["complete"] = answer.complete;
  out["elapsed_ms"] = answer.elapsed_ms;
  if (answer.job) out["job"] = JobJson(*answer.job);
  return out.dump() + "\n";
}

std::string ErrorJson(const RequestError& error) {
  const Out out = {{"error", error.message}, {"field", error.field}};
  // Messages may quote what the caller sent: bytes that are not UTF-8 become U+FFFD.
  return out.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
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
