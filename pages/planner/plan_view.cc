#include "pages/planner/plan_view.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace sheetora::planner {
namespace {

using layout::Micrometres;

double ToMm(Micrometres length) {
  return static_cast<double>(length) / static_cast<double>(layout::kMicrometresPerMm);
}

Msg ProofMsg(layout::Proof proof) {
  switch (proof) {
    case layout::Proof::kOptimal:
      return Msg::kProofOptimal;
    case layout::Proof::kBestGuillotine:
      return Msg::kProofBestGuillotine;
    case layout::Proof::kNone:
      break;
  }
  return Msg::kProofNone;
}

std::string Percent(double fraction, const Locale& locale) {
  return locale.Number(fraction * 100, 2) + "%";
}

Msg GrainMsg(layout::Grain grain) {
  switch (grain) {
    case layout::Grain::kLength:
      return Msg::kGrainLength;
    case layout::Grain::kWidth:
      return Msg::kGrainWidth;
    case layout::Grain::kAny:
      break;
  }
  return Msg::kGrainAny;
}

}  // namespace

std::vector<Figure> Figures(const layout::Answer& answer, const Locale& locale) {
  std::vector<Figure> figures = {
      {"ups", locale[Msg::kUps], locale.Count(answer.ups)},
      {"proof", locale[Msg::kProof], std::string(locale[ProofMsg(answer.proof)])},
      {"bound", locale[Msg::kBound], locale.Count(answer.bound)},
      {"utilisation", locale[Msg::kUtilisation], Percent(answer.utilisation, locale)},
  };
  if (!answer.job) return figures;
  const layout::JobAnswer& job = *answer.job;
  if (job.error) {
    // The engine refuses a job for one of two reasons, told apart by the layout's ups.
    figures.push_back(
        {"job-error", locale[Msg::kJob],
         std::string(locale[answer.ups == 0 ? Msg::kJobNoPieceFits : Msg::kJobParentTooSmall])});
    return figures;
  }
  const auto sheets = [&](std::int64_t n) {
    return locale.Fill(Msg::kSheetCount, {locale.Count(n)});
  };
  figures.push_back({"run-sheets", locale[Msg::kRunSheets], sheets(job.run_sheets)});
  figures.push_back({"press-sheets", locale[Msg::kPressSheets], sheets(job.press_sheets)});
  figures.push_back({"per-parent", locale[Msg::kPerParent],
                     locale.Fill(Msg::kPerParentCount, {locale.Count(job.per_parent)})});
  figures.push_back({"parent-sheets", locale[Msg::kParentSheets], sheets(job.parent_sheets)});
  figures.push_back({"weight", locale[Msg::kWeight],
                     job.weight_kg ? locale.Number(*job.weight_kg, 3) + " kg"
                                   : std::string(locale[Msg::kNoGrammage])});
  figures.push_back({"cost", locale[Msg::kCost],
                     job.cost ? locale.Fill(Msg::kMoney, {locale.Number(*job.cost, 2, true)})
                              : std::string(locale[Msg::kNoPrice])});
  figures.push_back({"paper-utilisation", locale[Msg::kParentUtilisation],
                     Percent(job.paper_utilisation, locale)});
  return figures;
}

std::vector<std::string> CutSteps(const std::vector<layout::CutNode>& cuts, const Locale& locale) {
  std::vector<std::string> steps;
  for (const layout::CutNode& node : cuts) {
    if (node.kind != layout::CutKind::kStack || !node.axis) continue;
    const std::string stack = node.id == 0 ? std::string(locale[Msg::kWholeSheet])
                                           : locale.Fill(Msg::kStack, {std::to_string(node.id)});
    const std::string size = locale.Size(node.length, node.width);
    // The knife runs across the axis it cuts: a cut on x is a vertical line in the drawing,
    // measured from the stack's left edge; a cut on y from its edge toward the gripper.
    const Msg way = *node.axis == 'x' ? Msg::kCutAlongX : Msg::kCutAlongY;
    for (const Micrometres at : node.at) {
      steps.push_back(locale.Fill(way, {stack, size, locale.Length(at)}));
    }
  }
  return steps;
}

std::string NoCutsNote(const layout::Request& request, const layout::Answer& answer,
                       const Locale& locale) {
  if (answer.cuts) return "";
  if (request.cut == layout::CutMode::kDie) return std::string(locale[Msg::kNoCutsDie]);
  if (answer.ups == 0) return std::string(locale[Msg::kNoCutsNothingFits]);
  if (answer.ups > kMaxDrawnPieces) {
    return locale.Fill(Msg::kNoCutsTooMany, {locale.Count(kMaxDrawnPieces)});
  }
  return std::string(locale[Msg::kNoCuts]);
}

Drawing DrawingOf(const layout::Request& request, const layout::Answer& answer) {
  const double L = ToMm(request.sheet.length), W = ToMm(request.sheet.width);
  const layout::Margins& m = request.margins;
  // Margins may together be wider than the sheet (nothing fits then); the strips stay on it.
  const double gripper = std::min(ToMm(m.gripper), W), tail = std::min(ToMm(m.tail), W - gripper);
  const double left = std::min(ToMm(m.left), L), right = std::min(ToMm(m.right), L - left);
  const double side_height = W - gripper - tail;
  Drawing drawing;
  drawing.sheet = {0, 0, L, W};
  drawing.gripper = {0, 0, L, gripper};
  // The side strips stop at the gripper and tail strips, so no corner is shaded twice.
  const Box strips[] = {drawing.gripper,
                        {0, W - tail, L, tail},
                        {0, gripper, left, side_height},
                        {L - right, gripper, right, side_height}};
  for (const Box& strip : strips) {
    if (strip.length > 0 && strip.width > 0) drawing.margins.push_back(strip);
  }

  std::int64_t drawn_ups = 0;
  for (const layout::Block& block : answer.blocks) drawn_ups += block.columns * block.rows;
  const Micrometres bleed = request.bleed;
  for (const layout::Block& block : answer.blocks) {
    const Micrometres along_x = block.turned ? request.piece.width : request.piece.length;
    const Micrometres along_y = block.turned ? request.piece.length : request.piece.width;
    const Micrometres pitch_x = along_x + 2 * bleed + request.gutter;
    const Micrometres pitch_y = along_y + 2 * bleed + request.gutter;
    if (drawn_ups > kMaxDrawnPieces) {
      drawing.blocks.push_back(
          {.box = {ToMm(block.x - bleed), ToMm(block.y - bleed),
                   ToMm(block.columns * pitch_x - request.gutter),
                   ToMm(block.rows * pitch_y - request.gutter)},
           .columns = block.columns,
           .rows = block.rows,
           .pitch_x = ToMm(pitch_x),
           .pitch_y = ToMm(pitch_y),
           .cell = {ToMm(block.x), ToMm(block.y), ToMm(along_x), ToMm(along_y)}});
      continue;
    }
    for (std::int64_t j = 0; j < block.rows; ++j) {
      for (std::int64_t i = 0; i < block.columns; ++i) {
        const Micrometres x = block.x + i * pitch_x, y = block.y + j * pitch_y;
        drawing.pieces.push_back({ToMm(x), ToMm(y), ToMm(along_x), ToMm(along_y)});
        if (bleed > 0) {
          drawing.bled.push_back({ToMm(x - bleed), ToMm(y - bleed), ToMm(along_x + 2 * bleed),
                                  ToMm(along_y + 2 * bleed)});
        }
      }
    }
  }

  if (answer.cuts) {
    int number = 0;
    for (const layout::CutNode& node : *answer.cuts) {
      if (node.kind != layout::CutKind::kStack || !node.axis) continue;
      for (const Micrometres at : node.at) {
        const bool on_x = *node.axis == 'x';
        const double x = ToMm(node.x + (on_x ? at : 0)), y = ToMm(node.y + (on_x ? 0 : at));
        drawing.cuts.push_back({.x1 = x,
                                .y1 = y,
                                .x2 = on_x ? x : ToMm(node.x + node.length),
                                .y2 = on_x ? ToMm(node.y + node.width) : y,
                                .number = ++number});
      }
    }
  }
  return drawing;
}

bool LabelFits(double length, double width, std::string_view text, double font) {
  return length > 0.6 * font * static_cast<double>(text.size()) && width > 1.5 * font;
}

std::string RequestSummary(const layout::Request& request, const Locale& locale) {
  const auto item = [&](Msg label, std::string_view value) {
    return locale.Fill(Msg::kSummary, {locale[label], value});
  };
  const std::string unit(locale.UnitName());
  std::string text =
      item(Msg::kSheet, locale.Size(request.sheet.length, request.sheet.width) + " " + unit) +
      " · " +
      item(Msg::kPiece, locale.Size(request.piece.length, request.piece.width) + " " + unit);
  const std::pair<Msg, Micrometres> lengths[] = {{Msg::kBleed, request.bleed},
                                                 {Msg::kGutter, request.gutter},
                                                 {Msg::kGripper, request.margins.gripper},
                                                 {Msg::kTail, request.margins.tail},
                                                 {Msg::kLeft, request.margins.left},
                                                 {Msg::kRight, request.margins.right}};
  for (const auto& [label, length] : lengths) {
    if (length != 0) text.append(" · ").append(item(label, locale.Length(length)));
  }
  text.append(" · ").append(item(Msg::kGrain, locale[GrainMsg(request.grain)]));
  text.append(" · ").append(
      locale[request.cut == layout::CutMode::kDie ? Msg::kCutDie : Msg::kCutGuillotine]);
  return text;
}

std::string LayoutInWords(const layout::Request& request, const layout::Answer& answer,
                          const Locale& locale) {
  std::string blocks;
  for (const layout::Block& block : answer.blocks) {
    if (!blocks.empty()) blocks += locale[Msg::kBlockSeparator];
    blocks += locale.Fill(Msg::kBlockWords, {locale.Count(block.columns), locale.Count(block.rows),
                                             locale[block.turned ? Msg::kTurned : Msg::kUpright],
                                             locale.Length(block.x), locale.Length(block.y)});
  }
  if (blocks.empty()) blocks = locale[Msg::kNoCutsNothingFits];
  const std::string unit(locale.UnitName());
  return locale.Fill(Msg::kDrawingWords,
                     {locale.Count(answer.ups),
                      locale.Size(request.piece.length, request.piece.width) + " " + unit,
                      locale.Size(request.sheet.length, request.sheet.width) + " " + unit, blocks});
}

}  // namespace sheetora::planner
