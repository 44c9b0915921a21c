#include "pages/planner/plan_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "layout/lifts.h"

namespace sheetora::planner {
namespace {

using layout::Micrometres;

double ToMm(Micrometres length) {
  return static_cast<double>(length) / static_cast<double>(layout::kMicrometresPerMm);
}

Box BoxOf(const layout::Rect& r) { return {ToMm(r.x), ToMm(r.y), ToMm(r.length), ToMm(r.width)}; }

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

std::string Sheets(std::int64_t n, const Locale& locale) {
  return locale.Fill(Msg::kSheetCount, {locale.Count(n)});
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
  if (answer.sequence && answer.cuts) {
    std::int64_t alone = 0;
    for (const layout::CutNode& node : *answer.cuts) {
      alone += static_cast<std::int64_t>(node.at.size());
    }
    figures.push_back(
        {"cycles", locale[Msg::kCycles],
         locale.Fill(Msg::kCyclesValue,
                     {locale.Count(layout::Cycles(*answer.sequence)), locale.Count(alone)})});
  }
  if (!answer.job) return figures;
  const layout::JobAnswer& job = *answer.job;
  if (job.error) {
    // The engine refuses a job for one of two reasons, told apart by the layout's ups.
    figures.push_back(
        {"job-error", locale[Msg::kJob],
         std::string(locale[answer.ups == 0 ? Msg::kJobNoPieceFits : Msg::kJobParentTooSmall])});
    return figures;
  }
  figures.push_back({"run-sheets", locale[Msg::kRunSheets], Sheets(job.run_sheets, locale)});
  figures.push_back({"press-sheets", locale[Msg::kPressSheets], Sheets(job.press_sheets, locale)});
  AppendPaperFigures(figures, job, locale);
  return figures;
}

std::string Percent(double fraction, const Locale& locale) {
  return locale.Number(fraction * 100, 2) + "%";
}

void AppendPaperFigures(std::vector<Figure>& figures, const layout::JobAnswer& job,
                        const Locale& locale) {
  figures.push_back({"per-parent", locale[Msg::kPerParent],
                     locale.Fill(Msg::kPerParentCount, {locale.Count(job.per_parent)})});
  figures.push_back(
      {"parent-sheets", locale[Msg::kParentSheets], Sheets(job.parent_sheets, locale)});
  figures.push_back({"weight", locale[Msg::kWeight],
                     job.weight_kg ? locale.Number(*job.weight_kg, 3) + " kg"
                                   : std::string(locale[Msg::kNoGrammage])});
  figures.push_back({"cost", locale[Msg::kCost],
                     job.cost ? locale.Fill(Msg::kMoney, {locale.Number(*job.cost, 2, true)})
                              : std::string(locale[Msg::kNoPrice])});
  figures.push_back({"paper-utilisation", locale[Msg::kParentUtilisation],
                     Percent(job.paper_utilisation, locale)});
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

std::vector<std::string> LiftSteps(const std::vector<layout::Lift>& lifts, const Locale& locale) {
  std::vector<std::string> steps;
  for (const layout::Lift& lift : lifts) {
    const std::size_t layers = lift.layers.size(), cycles = lift.at.size();
    const std::string strips =
        layers > 1
            ? locale.Fill(Msg::kLiftStacked, {std::to_string(layers)})
            : std::string(locale[lift.layers.front() == 0 ? Msg::kWholeSheet : Msg::kLiftOne]);
    const std::string count = cycles == 1 ? std::string(locale[Msg::kLiftOneCycle])
                                          : locale.Fill(Msg::kLiftCycles, {std::to_string(cycles)});
    std::string offsets;
    for (std::size_t k = 0; k < cycles; ++k) {
      if (k > 0) offsets += locale[Msg::kLiftSeparator];
      offsets += locale.Bare(lift.at[k]);
    }
    steps.push_back(locale.Fill(
        Msg::kLiftStep,
        {strips, locale.Size(lift.length, lift.width), lift.turn ? locale[Msg::kLiftTurn] : "",
         count, locale[lift.axis == 'x' ? Msg::kLiftAlongX : Msg::kLiftAlongY], offsets,
         locale.UnitName()}));
  }
  return steps;
}

std::string NoCutsNote(const layout::Answer& answer, const Locale& locale) {
  if (answer.ups == 0) return std::string(locale[Msg::kNoCutsNothingFits]);
  if (!answer.cuts_note) return "";
  switch (*answer.cuts_note) {
    case layout::CutsNote::kDie:
      return std::string(locale[Msg::kNoCutsDie]);
    case layout::CutsNote::kTooManyPieces:
      return locale.Fill(Msg::kNoCutsTooMany, {locale.Count(kMaxDrawnPieces)});
    case layout::CutsNote::kNotGuillotine:
      break;
  }
  return std::string(locale[Msg::kNoCuts]);
}

Drawing SheetDrawing(const layout::Size& sheet, const layout::Margins& m,
                     const std::vector<layout::Spacing>& kinds,
                     const std::vector<KindBlock>& blocks,
                     const std::vector<layout::CutNode>* cuts) {
  const double L = ToMm(sheet.length), W = ToMm(sheet.width);
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
  for (const KindBlock& kb : blocks) drawn_ups += kb.block.columns * kb.block.rows;
  for (const auto& [kind, block] : blocks) {
    const layout::Spacing& spacing = kinds[static_cast<std::size_t>(kind)];
    if (drawn_ups > kMaxDrawnPieces) {
      const layout::Size pitch = spacing.Pitch(block.turned);
      drawing.blocks.push_back({.box = BoxOf(spacing.BledExtent(block)),
                                .columns = block.columns,
                                .rows = block.rows,
                                .pitch_x = ToMm(pitch.length),
                                .pitch_y = ToMm(pitch.width),
                                .cell = BoxOf(spacing.TrimRect(block, 0, 0)),
                                .bled_cell = BoxOf(spacing.BledRect(block, 0, 0)),
                                .kind = kind});
      continue;
    }
    for (std::int64_t j = 0; j < block.rows; ++j) {
      for (std::int64_t i = 0; i < block.columns; ++i) {
        drawing.pieces.push_back({.trim = BoxOf(spacing.TrimRect(block, i, j)),
                                  .bled = BoxOf(spacing.BledRect(block, i, j)),
                                  .kind = kind});
      }
    }
  }

  if (cuts != nullptr) {
    int number = 0;
    for (const layout::CutNode& node : *cuts) {
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

Drawing DrawingOf(const layout::Request& request, const layout::Answer& answer) {
  std::vector<KindBlock> blocks;
  for (const layout::Block& block : answer.blocks) blocks.push_back({.block = block});
  return SheetDrawing(request.sheet, request.margins, {layout::SpacingOf(request)}, blocks,
                      answer.cuts ? &*answer.cuts : nullptr);
}

bool LabelFits(double length, double width, std::string_view text, double font) {
  return length > 0.6 * font * static_cast<double>(text.size()) && width > 1.5 * font;
}

DrawingLabels PlanLabels(const layout::Request& request, const layout::Answer& answer,
                         const Locale& locale) {
  return {.title = RequestSummary(request, locale),
          .description = LayoutInWords(request, answer, locale),
          .locale = locale,
          .sheet = request.sheet,
          .gripper = request.margins.gripper,
          .piece_labels = {locale.Size(request.piece.length, request.piece.width)}};
}

std::string GripperText(Micrometres gripper, const Locale& locale) {
  return gripper > 0 ? locale.Fill(Msg::kGripperWidth, {locale.Length(gripper)})
                     : std::string(locale[Msg::kGripperEdge]);
}

unsigned JobColour(std::size_t index) {
  // A dozen hand-picked colours that tell apart at a glance; beyond them hues a golden angle
  // apart, each new hue in the widest gap the earlier ones left (the legend and the labels tell
  // the jobs apart where the colours come close).
  constexpr unsigned kPalette[] = {0x9ecae1, 0xfdae6b, 0xa1d99b, 0xfc9fb5, 0xcbb4e3, 0xfdd870,
                                   0x8fd4cb, 0xd9b38c, 0xc7c7c7, 0xe6a0c4, 0xb5cf6b, 0x9fb8f0};
  if (index < std::size(kPalette)) return kPalette[index];
  const double hue = std::fmod(static_cast<double>(index) * 137.508, 360) / 60;
  const double lightness = 0.62;
  const double chroma = (1 - std::fabs(2 * lightness - 1)) * 0.6;
  const double second = chroma * (1 - std::fabs(std::fmod(hue, 2) - 1));
  const int sector = static_cast<int>(hue);
  const double rgb[6][3] = {{chroma, second, 0}, {second, chroma, 0}, {0, chroma, second},
                            {0, second, chroma}, {second, 0, chroma}, {chroma, 0, second}};
  unsigned colour = 0;
  for (const double channel : rgb[sector % 6]) {
    colour =
        colour << 8 | static_cast<unsigned>(std::lround((channel + lightness - chroma / 2) * 255));
  }
  return colour;
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
  AppendSpacing(text, request.bleed, request.gutter, request.margins, locale);
  text.append(" · ").append(item(Msg::kGrain, locale[GrainMsg(request.grain)]));
  text.append(" · ").append(
      locale[request.cut == layout::CutMode::kDie ? Msg::kCutDie : Msg::kCutGuillotine]);
  return text;
}

void AppendSpacing(std::string& text, Micrometres bleed, Micrometres gutter,
                   const layout::Margins& margins, const Locale& locale) {
  const std::pair<Msg, Micrometres> lengths[] = {
      {Msg::kBleed, bleed},       {Msg::kGutter, gutter},     {Msg::kGripper, margins.gripper},
      {Msg::kTail, margins.tail}, {Msg::kLeft, margins.left}, {Msg::kRight, margins.right}};
  for (const auto& [label, length] : lengths) {
    if (length == 0) continue;
    text.append(" · ").append(locale.Fill(Msg::kSummary, {locale[label], locale.Length(length)}));
  }
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
