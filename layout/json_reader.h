// The JSON reader shared by the engine's requests and the gang planner's: a strict tree of the
// document (duplicate keys, deep nesting and the library's errors refused as they come), objects
// read field by field with unknown fields refused, numbers read from the decimals as written;
// and the pieces of answer text both write alike.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout::json_io {

/// What a reader refuses; thrown by Refuse and caught once, where the reading began.
struct Refusal {
  RequestError error;
};

[[noreturn]] void Refuse(ErrorCode code, std::string message, std::string field);

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

/// The document's tree, refusing anything that nests deeper than `max_depth` objects and arrays.
/// With `name_indexes`, error paths name an array's items by index ("items[3].id"); without,
/// they name the array alone.
std::variant<Node, RequestError> ParseTree(std::string_view text, std::size_t max_depth,
                                           bool name_indexes);

const Node& Expect(const Node& node, Node::Type type, const std::string& path);

/// One object of a request: its fields are taken by name, and whatever is left over when the
/// reader is done with it is unknown.
class ObjectReader {
 public:
  ObjectReader(const Node& node, std::string path);

  [[nodiscard]] std::string PathOf(std::string_view key) const;
  const Node* Optional(std::string_view key);
  const Node& Required(std::string_view key);
  void RefuseUnknown() const;
  [[nodiscard]] std::size_t size() const { return node_.keys.size(); }

 private:
  const Node& node_;
  std::string path_;
  std::vector<bool> taken_;
};

/// Fields of the kinds requests hold, every length in the request's unit.
class FieldReader {
 public:
  /// Takes the request's "unit" ("mm" or "in") from its top object.
  void ReadUnit(ObjectReader& top);

  template <typename T>
  static T Choice(const Node& node, const std::string& path,
                  std::span<const std::pair<std::string_view, T>> choices) {
    Expect(node, Node::Type::kString, path);
    std::string names;
    for (const auto& [name, value] : choices) {
      if (node.text == name) return value;
      names.append(names.empty() ? "\"" : ", \"").append(name).push_back('"');
    }
    Refuse(ErrorCode::kNotAChoice, "must be one of " + names, path);
  }
  template <typename T>
  static T Choice(const Node& node, const std::string& path,
                  std::initializer_list<std::pair<std::string_view, T>> choices) {
    return Choice<T>(node, path, std::span(choices.begin(), choices.size()));
  }

  [[nodiscard]] Micrometres Length(const Node& node, const std::string& path) const;
  static std::int64_t Integer(const Node& node, const std::string& path);
  static double Number(const Node& node, const std::string& path);
  [[nodiscard]] Size ReadSize(const Node& node, const std::string& path) const;
  /// The four margins of the object at `path`.
  [[nodiscard]] Margins ReadMargins(const Node& node, const std::string& path) const;
  static Grain ReadGrain(const Node& node, const std::string& path);
  static CutMode ReadCut(const Node& node, const std::string& path);
  static Price ReadPrice(const Node& node, const std::string& path);
  static Sides ReadSides(const Node& node, const std::string& path);

 private:
  std::int64_t micrometres_per_unit_ = kMicrometresPerMm;
};

/// The names requests give these choices, as the readers take them.
std::string_view GrainName(Grain grain);
std::string_view CutName(CutMode cut);
std::string_view PriceName(PricePer per);
std::string_view SidesName(Sides sides);

using Out = nlohmann::ordered_json;

/// A length in mm as answers write it: a whole number when it is one.
Out Mm(Micrometres length);

Out NumberOrNull(const std::optional<double>& value);

/// A cut program as answers write it.
Out CutsJson(const std::vector<CutNode>& cuts);

}  // namespace sheetora::layout::json_io
