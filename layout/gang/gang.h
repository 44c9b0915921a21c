// Gang runs: several jobs printed together on shared press sheets. The request and answer of the
// gang planner, plain values in whole micrometres on the layout engine's vocabulary.
#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "layout/layout.h"

namespace sheetora::layout::gang {

inline constexpr std::size_t kMaxItems = 200;
inline constexpr std::size_t kMaxIdLength = 64;
inline constexpr std::int64_t kMaxItemQuantity = 1'000'000'000;
inline constexpr int kMaxLayouts = 50;
inline constexpr int kMaxGangTimeLimitMs = 60'000;

/// One job of the gang: a finished piece, how many to deliver, its own bleed and grain.
struct GangItem {
  std::string id;  ///< 1 to 64 characters, unique in the request
  Size piece;      ///< the trimmed piece
  std::int64_t quantity = 1;
  std::optional<Micrometres> bleed;  ///< absent: the request's bleed
  Grain grain = Grain::kAny;
};

/// The paper the press sheets are cut from, as in the single-piece job.
struct GangPaper {
  std::optional<Size> parent;  ///< absent: the press sheet itself
  std::optional<double> grammage;
  std::optional<Price> price;
};

struct GangRequest {
  Size sheet;
  Margins margins;
  Micrometres gutter = 0;
  Micrometres bleed = 0;  ///< the bleed of an item that gives none
  CutMode cut = CutMode::kGuillotine;
  std::vector<GangItem> items;
  int max_layouts = 20;
  std::int64_t makeready = 0;  ///< press sheets spoiled setting up each layout
  double setup_sheets = 0;     ///< what one more layout costs beyond its makeready, in sheets
  double overs_percent = 0;    ///< spoilage, percent of each layout's run sheets
  std::optional<GangPaper> paper;
  int time_limit_ms = 5000;
};

/// A block of identical pieces of one item (`item` indexes GangRequest::items); its pitch uses
/// that item's sides and bleed.
struct GangBlock {
  int item = 0;
  Block block;
};

/// A node of a layout's cut program; `item` names the item of a piece leaf, -1 elsewhere.
struct GangCut {
  CutNode node;
  int item = -1;
};

struct GangLayout {
  std::int64_t runs = 0;  ///< sheets printed of this layout before spoilage, >= 1
  std::vector<GangBlock> blocks;
  std::optional<std::vector<GangCut>> cuts;  ///< guillotine layouts of at most 5,000 pieces
  std::optional<CutsNote> cuts_note;         ///< why `cuts` is absent, exactly when it is
  double utilisation = 0;  ///< pieces' trim areas over the sheet's area, 4 decimals
};

struct GangItemAnswer {
  std::string id;
  std::int64_t quantity = 0;
  std::int64_t produced = 0;  ///< >= quantity
};

struct GangPaperAnswer {
  std::optional<std::string> error;  ///< the press sheet fits no parent; the rest is then unset
  std::int64_t per_parent = 0;
  std::int64_t parent_sheets = 0;
  std::optional<double> weight_kg;
  std::optional<double> cost;
  double paper_utilisation = 0;
};

struct GangAnswer {
  std::vector<GangLayout> layouts;
  std::vector<GangItemAnswer> items;  ///< in the request's order
  std::int64_t sheets = 0;            ///< sum of runs
  std::int64_t press_sheets = 0;      ///< runs, their spoilage and the makeready of each layout
  double cost = 0;                    ///< sheets + (makeready + setup_sheets) x layouts
  double bound = 0;                   ///< no plan that meets the request costs less
  Proof proof = Proof::kNone;         ///< kOptimal when cost == bound, else kNone
  std::optional<GangPaperAnswer> paper;
  bool complete = true;  ///< false when the time limit or a stop request cut the searches short
  double elapsed_ms = 0;
};

/// The first thing wrong with a request (an item that fits nowhere included), or nothing.
std::optional<RequestError> Validate(const GangRequest& request);

/// Plans a request that Validate accepts; an answer without layouts when no plan within
/// max_layouts was found (callers refuse the request then, on max_layouts). The searches are
/// bounded by steps, so the same request gets the same plan on any machine; the time limit or a
/// stop request only cuts them short.
GangAnswer Plan(const GangRequest& request, std::stop_token stop = {});

}  // namespace sheetora::layout::gang
