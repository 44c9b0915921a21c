// What a plan shows, whatever it is drawn on: the figures, the cut steps and the drawing's parts.
// The page, the SVG and the PDF all take their texts and shapes from here, so they agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"

namespace sheetora::planner {

/// Beyond this many ups the drawing shows the blocks, not each piece.
inline constexpr std::int64_t kMaxDrawnPieces = 5000;
/// Beyond this many cuts the lines are drawn without their numbers, which would only overprint
/// each other; the cut list still numbers every cut.
inline constexpr std::size_t kMaxNumberedCuts = 300;

/// A length as millimetres: at most 3 decimals, no trailing zeros ("3.5", "1092").
std::string Mm(layout::Micrometres length);
/// "1092 × 787".
std::string SizeText(layout::Micrometres length, layout::Micrometres width);
/// A number with at most `decimals` decimals; without trailing zeros unless `keep_zeros` (money).
std::string Decimal(double value, int decimals, bool keep_zeros = false);

/// One figure of the answer: the element id the page gives its value, its label and its text.
struct Figure {
  std::string_view id;
  std::string_view label;
  std::string value;
};

/// The answer at a glance: ups, proof, bound, utilisation, then the job's figures when the
/// answer has a job.
std::vector<Figure> Figures(const layout::Answer& answer);

/// The cut program as the operator's steps, one per cut, in the order the cuts are made: which
/// stack, which way, at what distance from the stack's edge.
std::vector<std::string> CutSteps(const std::vector<layout::CutNode>& cuts);
/// Why an answer has no cut program (die-cut work, or too many pieces to list), or "" when it
/// has one.
std::string_view NoCutsNote(const layout::Request& request, const layout::Answer& answer);

/// A rectangle in millimetres; y grows from the gripper edge.
struct Box {
  double x = 0, y = 0, length = 0, width = 0;
};

/// c x r pieces drawn as one rectangle: the bled cells repeat at the given pitch.
struct BlockBox {
  Box box;  ///< the bled extent of the block
  std::int64_t columns = 0, rows = 0;
  double pitch_x = 0, pitch_y = 0;
  Box cell;       ///< the first trim rectangle
  Box bled_cell;  ///< the first bled rectangle
};

struct CutLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int number = 0;  ///< 1-based, in the operator's order
};

/// The drawing of a plan in millimetres.
struct Drawing {
  Box sheet;
  std::vector<Box> margins;      ///< the strips where nothing may be printed, gripper first
  Box gripper;                   ///< the gripper strip (zero width without a gripper margin)
  std::vector<Box> pieces;       ///< trim rectangles, up to kMaxDrawnPieces
  std::vector<Box> bled;         ///< the bled rectangles of `pieces` (empty without bleed)
  std::vector<BlockBox> blocks;  ///< instead of pieces beyond kMaxDrawnPieces
  std::vector<CutLine> cuts;
};

Drawing DrawingOf(const layout::Request& request, const layout::Answer& answer);

/// Whether a label of digits and signs, set at `font` size, fits inside a length x width
/// rectangle (all in one unit); a rough measure that errs on the side of leaving labels out.
bool LabelFits(double length, double width, std::string_view text, double font);

/// "纸张 1092 × 787 mm · 成品 210 × 140 mm · 出血 3 mm ...": the request in one line.
std::string RequestSummary(const layout::Request& request);

}  // namespace sheetora::planner
