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

Box BoxOf(const layout::Rect& r) { return {ToMm(r.x), ToMm(r.y), ToMm(r.length), ToMm(r.width)}; }

struct ProofWords {
  layout::Proof proof;
  std::string_view text;  ///< for the clerk
};
constexpr ProofWords kProofs[] = {
    {layout::Proof::kOptimal, "已证明最优：没有任何排法能放更多"},
    {layout::Proof::kBestGuillotine, "所有直刀裁切排法中的最优"},
    {layout::Proof::kNone, "时限内找到的最好排法"},
};

const ProofWords& WordsFor(layout::Proof proof) {
  for (const ProofWords& words : kProofs) {
    if (words.proof == proof) return words;
  }
  return kProofs[2];
}

std::string Count(std::int64_t n, std::string_view unit) {
  return std::to_string(n).append(" ").append(unit);
}

std::string Percent(double fraction) { return Decimal(fraction * 100, 2) + "%"; }

std::string_view GrainText(layout::Grain grain) {
  switch (grain) {
    case layout::Grain::kLength:
      return "成品长边顺纸张长边";
    case layout::Grain::kWidth:
      return "成品长边顺纸张短边";
    case layout::Grain::kAny:
      break;
  }
  return "不限";
}

}  // namespace

std::string Mm(Micrometres length) {
  const Micrometres whole = length / layout::kMicrometresPerMm;
  const Micrometres fraction = std::llabs(length % layout::kMicrometresPerMm);
  std::string text = length < 0 && whole == 0 ? "-" : "";
  text += std::to_string(whole);
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, ".%03lld", static_cast<long long>(fraction));
    std::string_view decimals(digits);
    text += decimals.substr(0, decimals.find_last_not_of('0') + 1);
  }
  return text;
}

std::string SizeText(Micrometres length, Micrometres width) {
  return Mm(length) + " × " + Mm(width);
}

std::string Decimal(double value, int decimals, bool keep_zeros) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text(buffer);
  if (!keep_zeros && text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

std::vector<Figure> Figures(const layout::Answer& answer) {
  std::vector<Figure> figures = {
      {"ups", "拼版数", std::to_string(answer.ups)},
      {"proof", "结论", std::string(WordsFor(answer.proof).text)},
      {"bound", "理论上限", std::to_string(answer.bound)},
      {"utilisation", "纸张利用率", Percent(answer.utilisation)},
  };
  if (!answer.job) return figures;
  const layout::JobAnswer& job = *answer.job;
  if (job.error) {
    figures.push_back({"job-error", "印件", *job.error});
    return figures;
  }
  figures.push_back({"run-sheets", "正数用纸", Count(job.run_sheets, "张")});
  figures.push_back({"press-sheets", "上机用纸（含加放、校版）", Count(job.press_sheets, "张")});
  figures.push_back({"per-parent", "全张开数", Count(job.per_parent, "开")});
  figures.push_back({"parent-sheets", "全张用纸", Count(job.parent_sheets, "张")});
  figures.push_back(
      {"weight", "纸张重量", job.weight_kg ? Decimal(*job.weight_kg, 3) + " kg" : "—（未填克重）"});
  figures.push_back(
      {"cost", "纸张费用", job.cost ? Decimal(*job.cost, 2, true) + " 元" : "—（未填价格）"});
  figures.push_back({"paper-utilisation", "全张利用率", Percent(job.paper_utilisation)});
  return figures;
}

std::vector<std::string> CutSteps(const std::vector<layout::CutNode>& cuts) {
  std::vector<std::string> steps;
  for (const layout::CutNode& node : cuts) {
    if (node.kind != layout::CutKind::kStack || !node.axis) continue;
    const std::string stack =
        (node.id == 0 ? std::string("整张") : "叠 #" + std::to_string(node.id)) + "（" +
        SizeText(node.length, node.width) + "）";
    // The knife runs across the axis it cuts: a cut on x is a vertical line in the drawing,
    // measured from the stack's left edge; a cut on y from its edge toward the gripper.
    const std::string_view way = *node.axis == 'x' ? "竖切，距左侧 " : "横切，距咬口侧 ";
    for (const Micrometres at : node.at) {
      steps.push_back(stack + std::string(way) + Mm(at) + " mm");
    }
  }
  return steps;
}

std::string_view NoCutsNote(const layout::Request& request, const layout::Answer& answer) {
  if (answer.cuts) return "";
  if (request.cut == layout::CutMode::kDie) return "模切排法：不列裁切顺序";
  if (answer.ups == 0) return "放不下任何成品";
  if (answer.ups > kMaxDrawnPieces) return "拼版数超过 5000：不列裁切顺序";
  return "没有裁切顺序";
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
  const layout::Spacing spacing = layout::SpacingOf(request);
  for (const layout::Block& block : answer.blocks) {
    if (drawn_ups > kMaxDrawnPieces) {
      const layout::Size pitch = spacing.Pitch(block.turned);
      drawing.blocks.push_back({.box = BoxOf(spacing.BledExtent(block)),
                                .columns = block.columns,
                                .rows = block.rows,
                                .pitch_x = ToMm(pitch.length),
                                .pitch_y = ToMm(pitch.width),
                                .cell = BoxOf(spacing.TrimRect(block, 0, 0)),
                                .bled_cell = BoxOf(spacing.BledRect(block, 0, 0))});
      continue;
    }
    for (std::int64_t j = 0; j < block.rows; ++j) {
      for (std::int64_t i = 0; i < block.columns; ++i) {
        drawing.pieces.push_back(BoxOf(spacing.TrimRect(block, i, j)));
        if (spacing.bleed > 0) drawing.bled.push_back(BoxOf(spacing.BledRect(block, i, j)));
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

std::string RequestSummary(const layout::Request& request) {
  std::string text = "纸张 " + SizeText(request.sheet.length, request.sheet.width) + " mm · 成品 " +
                     SizeText(request.piece.length, request.piece.width) + " mm";
  const std::pair<std::string_view, Micrometres> lengths[] = {
      {"出血", request.bleed},           {"间距", request.gutter},
      {"咬口", request.margins.gripper}, {"拖梢", request.margins.tail},
      {"左边空", request.margins.left},  {"右边空", request.margins.right}};
  for (const auto& [label, length] : lengths) {
    if (length != 0) text.append(" · ").append(label).append(" ").append(Mm(length)).append(" mm");
  }
  text.append(" · 纸纹 ").append(GrainText(request.grain));
  text.append(request.cut == layout::CutMode::kDie ? " · 模切" : " · 直刀裁切");
  return text;
}

}  // namespace sheetora::planner
