// The press-ready layout engine's request and answer: plain values, all lengths in whole
// micrometres. Nothing here knows of pages, HTML or HTTP.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "layout/geometry.h"

namespace sheetora::layout {

/// Strips along the sheet's edges where nothing printed may lie.
struct Margins {
  Micrometres gripper = 0;  ///< the edge y = 0
  Micrometres tail = 0;     ///< the edge y = W
  Micrometres left = 0;     ///< the edge x = 0
  Micrometres right = 0;    ///< the edge x = L
  bool operator==(const Margins&) const = default;
};

enum class Grain {
  kAny,     ///< pieces may lie either way
  kLength,  ///< every piece keeps its length along x
  kWidth,   ///< every piece keeps its length along y
};

enum class CutMode {
  kGuillotine,  ///< the layout comes apart by straight edge-to-edge cuts
  kDie,         ///< any arrangement
};

/// How the sheet is printed on both sides. Work-and-turn and work-and-tumble print both sides
/// from one plate: the engine plans half the sheet and mirrors it onto the other half, across
/// x = L/2 (turn: the sheet is turned over left to right) or y = W/2 (tumble: head to tail).
enum class Sides { kSingle, kSheetwise, kWorkAndTurn, kWorkAndTumble };

/// The printer's marks on an imposed sheet; all on unless asked otherwise.
struct Marks {
  bool crop = true;
  bool registration = true;
  bool slug = true;
  bool operator==(const Marks&) const = default;
};

enum class PricePer { kTonne, kReam, kSheet, kSquareMetre };

struct Price {
  PricePer per = PricePer::kSheet;
  double amount = 0;
  bool operator==(const Price&) const = default;
};

/// A print run to plan on top of the layout.
struct Job {
  std::int64_t quantity = 0;       ///< finished pieces to deliver, >= 1
  double overs_percent = 0;        ///< spoilage allowance, percent of the run sheets
  std::int64_t makeready = 0;      ///< extra press sheets for setting up
  std::optional<Size> parent;      ///< the mill sheet; absent: the press sheet itself
  std::optional<double> grammage;  ///< g/m²
  std::optional<Price> price;
  bool operator==(const Job&) const = default;
};

struct Request {
  Size sheet;
  Size piece;  ///< the finished (trimmed) piece
  Micrometres bleed = 0;
  Micrometres gutter = 0;
  Margins margins;
  Grain grain = Grain::kAny;
  CutMode cut = CutMode::kGuillotine;
  int time_limit_ms = 2000;
  std::optional<Job> job;
  Sides sides = Sides::kSingle;
  Marks marks;
  int max_stack = 4;  ///< layers of identical strips the guillotine operator cuts at once
  bool operator==(const Request&) const = default;
};

/// The request's pieces as blocks lay them out.
inline Spacing SpacingOf(const Request& request) {
  return {.piece = request.piece, .bleed = request.bleed, .gutter = request.gutter};
}

/// What is wrong with a request, as a code for callers that word it themselves.
enum class ErrorCode {
  kInvalidJson,      ///< not JSON, or trailing bytes after it
  kRepeatedField,    ///< a key given twice in one object
  kTooDeep,          ///< objects or arrays nested deeper than a request's
  kUnknownField,     ///< a key the request does not describe
  kRequired,         ///< a required field is missing
  kWrongType,        ///< e.g. a string where a number belongs
  kNotAChoice,       ///< a name that is none of the field's choices
  kNotWhole,         ///< a fraction where a whole number belongs
  kOutOfRange,       ///< a number outside the field's range (also one beyond any double)
  kNoPrintableArea,  ///< the margins leave nothing of the sheet
  kOnePrice,         ///< a price must be given exactly one way
  kNeedsGrammage,    ///< a price per tonne without the grammage
  kTooLarge,         ///< the request's body is over the size taken
  kMethod,           ///< the address does not take the method
  kRepeatedId,       ///< a gang item's id given to another item before it
  kFitsNowhere,      ///< a gang item fits the printable area in no allowed way
  kNoPlan,           ///< no gang plan was found within the layouts allowed
};

/// What is wrong with a request: its code, in plain English words, and the path of the field
/// ("piece.width"; "" when no one field is at fault).
struct RequestError {
  ErrorCode code = ErrorCode::kInvalidJson;
  std::string message;
  std::string field;
  bool operator==(const RequestError&) const = default;
};

enum class Proof {
  kOptimal,         ///< ups == bound
  kBestGuillotine,  ///< guillotine mode, and no guillotine layout holds more
  kNone,
};

enum class CutKind { kStack, kPiece, kWaste };

/// One node of the cut program. A stack is cut on `axis` ('x' or 'y') at each offset in `at`
/// from its own origin, into `parts`; leaves have no axis and no parts.
struct CutNode {
  int id = 0;
  Micrometres x = 0, y = 0, length = 0, width = 0;
  CutKind kind = CutKind::kWaste;
  std::optional<char> axis;
  std::vector<Micrometres> at;
  std::vector<int> parts;
};

/// One step of the operator's cut list: identical strips (the cut program's nodes `layers`, each
/// length x width) stacked and cut together on `axis` at the offsets `at`, one knife cycle per
/// offset. `turn`: the strips lie a quarter turn from the way their parent was cut.
struct Lift {
  std::vector<int> layers;
  Micrometres length = 0, width = 0;
  char axis = 'x';
  std::vector<Micrometres> at;
  bool turn = false;
};

struct JobAnswer {
  std::optional<std::string> error;  ///< set when no plan is possible; the rest is then unset
  std::int64_t run_sheets = 0;
  std::int64_t press_sheets = 0;
  std::int64_t per_parent = 0;
  std::int64_t parent_sheets = 0;
  std::optional<double> weight_kg;
  std::optional<double> cost;
  double paper_utilisation = 0;
};

/// Why an answer has no cut program.
enum class CutsNote {
  kDie,            ///< die-cut work is not cut apart by a guillotine
  kTooManyPieces,  ///< more pieces than a cut program lists
  kNotGuillotine,  ///< the layout does not come apart by straight cuts
};

struct Answer {
  std::int64_t ups = 0;
  std::int64_t bound = 0;
  Proof proof = Proof::kNone;
  double utilisation = 0;
  std::vector<Block> blocks;
  std::optional<std::vector<CutNode>> cuts;   ///< guillotine mode with ups <= 5,000 only
  std::optional<std::vector<Lift>> sequence;  ///< the cut program in lifts, with `cuts`
  std::optional<CutsNote> cuts_note;          ///< set exactly when `cuts` is not
  /// The searches ran to their end (a proof or their step budgets), so the same request gets
  /// the same answer under any load; false when the time limit or a stop request cut them short.
  bool complete = true;
  double elapsed_ms = 0;
  std::optional<JobAnswer> job;
};

}  // namespace sheetora::layout
