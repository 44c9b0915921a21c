#include "layout/plan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <utility>

#include "layout/cut_program.h"
#include "layout/job.h"
#include "layout/lifts.h"
#include "layout/pack.h"
#include "layout/sides.h"

namespace sheetora::layout {
namespace {

/// Cut programs beyond this many pieces are too long for anyone to follow.
constexpr std::int64_t kMaxCutProgramPieces = 5'000;

std::optional<RequestError> CheckSide(Micrometres side, const char* field) {
  if (side <= 0) return RequestError{ErrorCode::kOutOfRange, "must be greater than 0 mm", field};
  if (side > kMaxSide)
    return RequestError{ErrorCode::kOutOfRange, "must be at most 100000 mm", field};
  return std::nullopt;
}

std::optional<RequestError> CheckSpacing(Micrometres length, const char* field) {
  if (length < 0) return RequestError{ErrorCode::kOutOfRange, "must not be negative", field};
  if (length > kMaxSpacing)
    return RequestError{ErrorCode::kOutOfRange, "must be at most 1000 mm", field};
  return std::nullopt;
}

std::optional<RequestError> CheckJob(const Job& job) {
  if (job.quantity < 1 || job.quantity > kMaxQuantity) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 1000000000000",
                        "job.quantity"};
  }
  if (!(job.overs_percent >= 0 && job.overs_percent <= 100)) {
    return RequestError{ErrorCode::kOutOfRange, "must be from 0 to 100 (percent)", "job.overs"};
  }
  if (job.makeready < 0 || job.makeready > kMaxMakeready) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 0 to 1000000000",
                        "job.makeready"};
  }
  if (job.parent) {
    if (auto e = CheckSide(job.parent->length, "job.parent.length")) return e;
    if (auto e = CheckSide(job.parent->width, "job.parent.width")) return e;
  }
  if (job.grammage && !(*job.grammage > 0 && *job.grammage <= 100'000)) {
    return RequestError{ErrorCode::kOutOfRange, "must be greater than 0 and at most 100000 g/m2",
                        "job.grammage"};
  }
  if (job.price) {
    if (!(job.price->amount >= 0 && job.price->amount <= 1e12)) {
      return RequestError{ErrorCode::kOutOfRange, "must be from 0 to 1000000000000", "job.price"};
    }
    if (job.price->per == PricePer::kTonne && !job.grammage) {
      return RequestError{ErrorCode::kNeedsGrammage, "a price per tonne needs the grammage",
                          "job.grammage"};
    }
  }
  return std::nullopt;
}

// Each piece takes its pitch, a bled piece grown by the gutter beyond its far sides; so does the
// printable area, whose far sides need no gutter.
PackProblem Reduce(const Request& request) {
  const Margins& m = request.margins;
  const Size pitch = SpacingOf(request).Pitch(false);
  return {
      .X = request.sheet.length - m.left - m.right + request.gutter,
      .Y = request.sheet.width - m.gripper - m.tail + request.gutter,
      .a = pitch.length,
      .b = pitch.width,
      .orientation = request.grain == Grain::kAny      ? Orientation::kBoth
                     : request.grain == Grain::kLength ? Orientation::kUpright
                                                       : Orientation::kTurned,
      .cut = request.cut,
  };
}

Proof ProofOf(const Request& request, const PackResult& packed) {
  if (packed.ups == packed.bound) return Proof::kOptimal;
  if (request.cut == CutMode::kGuillotine && packed.ups < packed.bound && packed.best_guillotine) {
    return Proof::kBestGuillotine;
  }
  return Proof::kNone;
}

}  // namespace

double RoundTo(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

std::optional<RequestError> Validate(const Request& request) {
  if (auto e = CheckSide(request.sheet.length, "sheet.length")) return e;
  if (auto e = CheckSide(request.sheet.width, "sheet.width")) return e;
  if (auto e = CheckSide(request.piece.length, "piece.length")) return e;
  if (auto e = CheckSide(request.piece.width, "piece.width")) return e;
  if (auto e = CheckSpacing(request.bleed, "bleed")) return e;
  if (auto e = CheckSpacing(request.gutter, "gutter")) return e;
  const Margins& m = request.margins;
  if (auto e = CheckSpacing(m.gripper, "margins.gripper")) return e;
  if (auto e = CheckSpacing(m.tail, "margins.tail")) return e;
  if (auto e = CheckSpacing(m.left, "margins.left")) return e;
  if (auto e = CheckSpacing(m.right, "margins.right")) return e;
  if (m.left + m.right >= request.sheet.length) {
    return RequestError{ErrorCode::kNoPrintableArea,
                        "the left and right margins leave nothing of the sheet's length",
                        "margins"};
  }
  if (m.gripper + m.tail >= request.sheet.width) {
    return RequestError{ErrorCode::kNoPrintableArea,
                        "the gripper and tail margins leave nothing of the sheet's width",
                        "margins"};
  }
  if (request.time_limit_ms < 1 || request.time_limit_ms > kMaxTimeLimitMs) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 10000",
                        "time_limit_ms"};
  }
  if (request.max_stack < 1 || request.max_stack > kMaxMaxStack) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 100",
                        "max_stack"};
  }
  if (const Request part = PlannedPart(request);
      part.margins.left + part.margins.right >= part.sheet.length ||
      part.margins.gripper + part.margins.tail >= part.sheet.width) {
    return RequestError{ErrorCode::kNoPrintableArea,
                        "the margins leave nothing of the half sheet that one plate prints",
                        "sides"};
  }
  if (request.job) return CheckJob(*request.job);
  return std::nullopt;
}

Answer Plan(const Request& request, std::stop_token stop) {
  const Clock::time_point start = Clock::now();
  const auto limit = std::chrono::milliseconds(request.time_limit_ms);
  // The job's own small search goes first, on a tenth of the time, so that a long main search
  // cannot leave it none.
  const PackResult per_parent = PressSheetsPerParent(
      request, {.deadline = start + std::max(limit / 10, decltype(limit)(1)), .stop = stop});
  // One plate printing both sides is planned on its half; ups and bound count both halves.
  const Request part = PlannedPart(request);
  const std::int64_t halves = OnePlateBothSides(request) ? 2 : 1;
  PackProblem problem = Reduce(part);
  problem.limits = {.deadline = start + limit, .stop = std::move(stop)};
  const PackResult packed = Pack(problem);

  Answer answer;
  answer.ups = packed.ups * halves;
  answer.bound = packed.bound * halves;
  answer.proof = ProofOf(part, packed);
  answer.utilisation =
      RoundTo(static_cast<double>(answer.ups) * Area(request.piece) / Area(request.sheet), 4);
  // A block's corner in the plain problem is the corner of its first bled piece, grown by the
  // gutter beyond its far sides only: the trim corner lies one bleed inside it.
  for (const Block& b : packed.blocks) {
    answer.blocks.push_back({.x = part.margins.left + b.x + request.bleed,
                             .y = part.margins.gripper + b.y + request.bleed,
                             .columns = b.columns,
                             .rows = b.rows,
                             .turned = b.turned});
  }
  answer.blocks = OnWholeSheet(request, std::move(answer.blocks));
  if (request.cut == CutMode::kDie) {
    answer.cuts_note = CutsNote::kDie;
  } else if (answer.ups > kMaxCutProgramPieces) {
    answer.cuts_note = CutsNote::kTooManyPieces;
  } else {
    answer.cuts = CutProgram(request, answer.blocks);
    if (answer.cuts) {
      answer.sequence = Lifts(*answer.cuts, request.max_stack);
    } else {
      answer.cuts_note = CutsNote::kNotGuillotine;
    }
  }
  answer.complete = packed.complete && per_parent.complete;
  if (request.job) answer.job = PlanJob(request, answer.ups, per_parent.ups);
  answer.elapsed_ms =
      RoundTo(std::chrono::duration<double, std::milli>(Clock::now() - start).count(), 3);
  return answer;
}

}  // namespace sheetora::layout
