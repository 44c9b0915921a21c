// The four-block and two-block layout searches as pure computation: numbers in, a result out.
#pragma once

#include <optional>

#include "runtime/errors.h"

namespace sheetora {

/// A sheet PaperL long (the direction of columns) and PaperW wide (the direction of rows), and a
/// piece PL by PW; a lengthwise piece has PL along the sheet's length, a turned one PW.
struct LayoutSizes {
  double PaperL = 0, PaperW = 0, PL = 0, PW = 0;
};

/// The drawing scale in pixels per mm; nullopt when the page's scale holds no number, so that the
/// first drawn size of a layout fails with a type mismatch.
using LayoutScale = std::optional<double>;

/// One block of equal pieces: drawn width and height in pixels, columns and rows of pieces.
struct LayoutBlock {
  double TabW = 0, TabH = 0, TabCol = 0, TabRow = 0;
};

/// What the four-block search leaves in its outputs.
///
/// KNum is always set. The other outputs are set by each improvement in this order: okPiece,
/// okax, okay, then for the blocks LT, LB, RT, RB in turn TabCol, TabRow, TabW, TabH. `written`
/// counts how many of them hold a value: 0 when no layout was found, kOutputs when one was, and
/// in between only when an error cut the first improvement short. After an error the outputs
/// hold what the improvements before it (and the part of the failing one) assigned.
struct FourBlockResult {
  static constexpr int kOutputs = 19;

  double KNum = 0;
  double okPiece = 0;
  double okax = 0;  // width of the left column
  double okay = 0;  // height of the left upper block
  LayoutBlock LT, LB, RT, RB;
  int written = 0;
  std::optional<RuntimeError> error;
};

/// What the two-block search leaves in its outputs; `written` counts, in assignment order,
/// TopTabRow, TopTabCol, TopTabW, TopTabH, BotTabRow, BotTabCol, BotTabW, BotTabH, okPiece.
struct TwoBlockResult {
  static constexpr int kOutputs = 9;

  double KNum = 0;
  LayoutBlock Top, Bot;
  double okPiece = 0;
  int written = 0;
  std::optional<RuntimeError> error;
};

/// Whether a counting loop from `start` to `end` in steps of `step` runs at all. A step that is
/// not positive runs no iteration: counting down or standing still would never reach the end.
bool LoopRuns(double start, double end, double step);

/// Whether the fast searches apply: all four sizes whole and at least 1, and a scale that keeps
/// every drawn size inside the double range (or one that holds no number).
bool FastSearchApplies(const LayoutSizes& sizes, const LayoutScale& scale);

/// The four-block search: for each left-column width i (multiples of PL), each height j of its
/// upper block (multiples of PW) and each split k of the right column (multiples of PL), counts
/// lengthwise pieces left upper and right lower, turned pieces left lower and right upper. The
/// first layout in loop order (i, then j, then k, ascending) with the most pieces wins. The
/// right column's best split k* is carried from one (i, j) to the next and starts at 0, so a
/// layout whose right column holds nothing reports the split last found.
///
/// Dispatches to the fast search where it applies and to the literal loops otherwise; both give
/// the same result.
FourBlockResult SearchFourBlocks(const LayoutSizes& sizes, const LayoutScale& scale);
/// The loops as written, one step at a time, in page-value arithmetic.
FourBlockResult SearchFourBlocksLiteral(const LayoutSizes& sizes, const LayoutScale& scale);
/// The same result from a few exact maximisations for each of at most about sqrt(8 * PaperL)
/// left-column widths; requires FastSearchApplies.
FourBlockResult SearchFourBlocksFast(const LayoutSizes& sizes, const LayoutScale& scale);

/// The two-block search: an upper band y high (multiples of PW) of lengthwise pieces over a
/// lower band of turned pieces; the smallest y with the most pieces wins.
TwoBlockResult SearchTwoBlocks(const LayoutSizes& sizes, const LayoutScale& scale);
TwoBlockResult SearchTwoBlocksLiteral(const LayoutSizes& sizes, const LayoutScale& scale);
/// The same result from one exact maximisation (or, where the page's sums round, a scan of the
/// few heights that can win); requires FastSearchApplies.
TwoBlockResult SearchTwoBlocksFast(const LayoutSizes& sizes, const LayoutScale& scale);

}  // namespace sheetora
