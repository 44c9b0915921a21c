#include "layout/plan.h"

#include "layout/pack.h"

namespace sheetora::layout {

// A first version: sizes checked, margins, bleed and gutter folded in, no cut program or job.
std::optional<RequestError> Validate(const Request& request) {
  if (request.sheet.length <= 0) return RequestError{"must be greater than 0", "sheet.length"};
  if (request.sheet.width <= 0) return RequestError{"must be greater than 0", "sheet.width"};
  if (request.piece.length <= 0) return RequestError{"must be greater than 0", "piece.length"};
  if (request.piece.width <= 0) return RequestError{"must be greater than 0", "piece.width"};
  return std::nullopt;
}

Answer Plan(const Request& request) {
  const Margins& m = request.margins;
  const PackProblem problem{
      .X = request.sheet.length - m.left - m.right + request.gutter,
      .Y = request.sheet.width - m.gripper - m.tail + request.gutter,
      .a = request.piece.length + 2 * request.bleed + request.gutter,
      .b = request.piece.width + 2 * request.bleed + request.gutter,
      .orientation = request.grain == Grain::kAny      ? Orientation::kBoth
                     : request.grain == Grain::kLength ? Orientation::kUpright
                                                       : Orientation::kTurned,
      .cut = request.cut,
  };
  Answer answer;
  if (problem.X <= 0 || problem.Y <= 0) return answer;
  const PackResult packed = Pack(problem);
  answer.ups = packed.ups;
  answer.bound = packed.bound;
  answer.proof = packed.ups == packed.bound ? Proof::kOptimal : Proof::kNone;
  answer.utilisation = static_cast<double>(answer.ups) * request.piece.length *
                       request.piece.width /
                       (static_cast<double>(request.sheet.length) * request.sheet.width);
  for (const PackBlock& b : packed.blocks) {
    answer.blocks.push_back({.x = m.left + b.x + request.bleed,
                             .y = m.gripper + b.y + request.bleed,
                             .columns = b.columns,
                             .rows = b.rows,
                             .turned = b.turned});
  }
  return answer;
}

}  // namespace sheetora::layout
