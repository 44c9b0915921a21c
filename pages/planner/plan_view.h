// What a plan shows, whatever it is drawn on: the figures, the cut steps and the drawing's parts.
// The page, the SVG and the PDF all take their texts and shapes from here, so they agree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "pages/planner/messages.h"
#include "pages/planner/units.h"

namespace sheetora::planner {

/// Beyond this many ups the drawing shows the blocks, not each piece.
inline constexpr std::int64_t kMaxDrawnPieces = 5000;
/// Beyond this many cuts the lines are drawn without their numbers, which would only overprint
/// each other; the cut list still numbers every cut.
inline constexpr std::size_t kMaxNumberedCuts = 300;

/// One figure of the answer: the element id the page gives its value, its label and its text.
struct Figure {
  std::string_view id;
  std::string_view label;
  std::string value;
};

/// The answer at a glance: ups, proof, bound, utilisation, then the job's figures when the
/// answer has a job.
std::vector<Figure> Figures(const layout::Answer& answer, const Locale& locale);

/// "12.5%" for 0.125.
std::string Percent(double fraction, const Locale& locale);

/// The paper's figures of a job that has no error: parent sheets, weight, cost, utilisation.
void AppendPaperFigures(std::vector<Figure>& figures, const layout::JobAnswer& job,
                        const Locale& locale);

/// The cut program as the operator's steps, one per cut, in the order the cuts are made: which
/// stack, which way, at what distance from the stack's edge.
std::vector<std::string> CutSteps(const std::vector<layout::CutNode>& cuts, const Locale& locale);
/// The operator's sequence: one step per lift, identical strips stacked ("叠 3 条（374 × 90），
/// 转向，一刀：竖切，距左侧 50 mm").
std::vector<std::string> LiftSteps(const std::vector<layout::Lift>& lifts, const Locale& locale);
/// Why an answer has no cut program (die-cut work, or too many pieces to list), or "" when it
/// has one.
std::string NoCutsNote(const layout::Answer& answer, const Locale& locale);

/// A rectangle in millimetres; y grows from the gripper edge.
struct Box {
  double x = 0, y = 0, length = 0, width = 0;
};

/// A finished piece on the sheet: its trim rectangle, its bled rectangle (the same without bleed)
/// and its kind (0 for the single-piece plan, the job's index in a gang).
struct Piece {
  Box trim;
  Box bled;
  int kind = 0;
};

/// c x r pieces drawn as one rectangle: the bled cells repeat at the given pitch.
struct BlockBox {
  Box box;  ///< the bled extent of the block
  std::int64_t columns = 0, rows = 0;
  double pitch_x = 0, pitch_y = 0;
  Box cell;       ///< the first trim rectangle
  Box bled_cell;  ///< the first bled rectangle
  int kind = 0;
};

struct CutLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int number = 0;  ///< 1-based, in the operator's order
};

/// The drawing of a sheet layout in millimetres.
struct Drawing {
  Box sheet;
  std::vector<Box> margins;      ///< the strips where nothing may be printed, gripper first
  Box gripper;                   ///< the gripper strip (zero width without a gripper margin)
  std::vector<Piece> pieces;     ///< up to kMaxDrawnPieces
  std::vector<BlockBox> blocks;  ///< instead of pieces beyond kMaxDrawnPieces
  std::vector<CutLine> cuts;
};

/// A block of pieces of the kind `kind`.
struct KindBlock {
  int kind = 0;
  layout::Block block;
};

/// The drawing of any sheet layout: the sheet and its margins, the pieces of its blocks (those of
/// kind k spaced as kinds[k]: the single-piece plan has one kind, a gang one per job), the lines
/// of its cut program (none when null).
Drawing SheetDrawing(const layout::Size& sheet, const layout::Margins& margins,
                     const std::vector<layout::Spacing>& kinds,
                     const std::vector<KindBlock>& blocks,
                     const std::vector<layout::CutNode>* cuts);

/// The single-piece plan's drawing.
Drawing DrawingOf(const layout::Request& request, const layout::Answer& answer);

/// Whether a label of digits and signs, set at `font` size, fits inside a length x width
/// rectangle (all in one unit); a rough measure that errs on the side of leaving labels out.
bool LabelFits(double length, double width, std::string_view text, double font);

/// One line of a drawing's legend: a kind of piece and what it is.
struct LegendEntry {
  int kind = 0;
  std::string text;
};

/// What a drawing is labelled with, whatever it is drawn on.
struct DrawingLabels {
  std::string title;        ///< the request in one line
  std::string description;  ///< the layout in words, for those who cannot see it
  Locale locale;            ///< the language and unit of the dimensions
  layout::Size sheet;
  layout::Micrometres gripper = 0;
  std::vector<std::string> piece_labels;  ///< per kind, written in its first piece where it fits
  /// Per kind, its colour (0xRRGGBB); empty for a drawing of one kind in the plan's colour.
  std::vector<unsigned> colours;
  std::vector<LegendEntry> legend;  ///< drawn under the sheet
  /// Makes the ids of a drawing unique on a page that shows several.
  std::string id_prefix = "plan";
};

DrawingLabels PlanLabels(const layout::Request& request, const layout::Answer& answer,
                         const Locale& locale);

/// "咬口 10 mm", or "咬口边" without a gripper margin.
std::string GripperText(layout::Micrometres gripper, const Locale& locale);

/// The colour of the job with that index in a gang: light enough to write on, and different for
/// every index below 200.
unsigned JobColour(std::size_t index);

/// "上机纸尺寸 1092 × 787 mm · 成品尺寸 210 × 140 mm · 出血 3 mm ...": the request in one line.
std::string RequestSummary(const layout::Request& request, const Locale& locale);

/// " · 出血 3 mm · 咬口 10 mm ...": the lengths that are not zero, for a one-line summary.
void AppendSpacing(std::string& text, layout::Micrometres bleed, layout::Micrometres gutter,
                   const layout::Margins& margins, const Locale& locale);

/// The layout in words, for those who cannot see the drawing: how many pieces of what size on
/// which sheet, and where each block of them starts.
std::string LayoutInWords(const layout::Request& request, const layout::Answer& answer,
                          const Locale& locale);

}  // namespace sheetora::planner
