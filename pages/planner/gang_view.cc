#include "pages/planner/gang_view.h"

#include <utility>

#include "pages/planner/plan_svg.h"

namespace sheetora::planner {
namespace {

using layout::gang::GangAnswer;
using layout::gang::GangLayout;
using layout::gang::GangRequest;

std::string Sheets(std::int64_t n) { return std::to_string(n) + " 张"; }

layout::Spacing SpacingOf(const GangRequest& request, const layout::gang::GangItem& item) {
  return {
      .piece = item.piece, .bleed = item.bleed.value_or(request.bleed), .gutter = request.gutter};
}

std::vector<layout::CutNode> CutNodes(const std::vector<layout::gang::GangCut>& cuts) {
  std::vector<layout::CutNode> nodes;
  nodes.reserve(cuts.size());
  for (const layout::gang::GangCut& cut : cuts) nodes.push_back(cut.node);
  return nodes;
}

std::int64_t PiecesOf(const GangLayout& layout) {
  std::int64_t pieces = 0;
  for (const layout::gang::GangBlock& b : layout.blocks) pieces += b.block.columns * b.block.rows;
  return pieces;
}

/// "名片×12 宣传单×4": the pieces of each item a layout holds.
std::string Contents(const GangRequest& request, const GangLayout& layout) {
  const std::vector<std::int64_t> pieces = PiecesPerItem(request, layout);
  std::string text;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i] == 0) continue;
    if (!text.empty()) text += ' ';
    text += request.items[i].id + "×" + std::to_string(pieces[i]);
  }
  return text;
}

}  // namespace

std::string GapText(const GangAnswer& answer) {
  if (answer.bound <= 0) return "—";
  return Decimal((answer.cost - answer.bound) / answer.bound * 100, 2) + "%";
}

std::vector<Figure> GangFigures(const GangAnswer& answer) {
  std::vector<Figure> figures = {
      {"sheets", "正数用纸", Sheets(answer.sheets)},
      {"press-sheets", "上机用纸（含加放、校版）", Sheets(answer.press_sheets)},
      {"layouts", "版数", std::to_string(answer.layouts.size())},
      {"plan-cost", "成本（折合纸张）", Decimal(answer.cost, 2)},
      {"bound", "成本下界", Decimal(answer.bound, 2)},
      {"gap", "与下界相差", GapText(answer)},
      {"proof", "结论",
       answer.proof == layout::Proof::kOptimal ? "已证明最优：没有更省的计划" : "未证明最优"},
  };
  if (!answer.complete) figures.push_back({"complete", "搜索", "时限已到，未搜索完"});
  if (!answer.paper) return figures;
  const layout::gang::GangPaperAnswer& paper = *answer.paper;
  if (paper.error) {
    figures.push_back({"paper-error", "纸张", *paper.error});
    return figures;
  }
  AppendPaperFigures(figures, {.per_parent = paper.per_parent,
                               .parent_sheets = paper.parent_sheets,
                               .weight_kg = paper.weight_kg,
                               .cost = paper.cost,
                               .paper_utilisation = paper.paper_utilisation});
  return figures;
}

TextTable JobsTable(const GangRequest& request, const GangAnswer& answer) {
  TextTable table{.title = "印件", .head = {"印件", "成品尺寸", "数量", "产出", "多出"}};
  for (std::size_t i = 0; i < answer.items.size() && i < request.items.size(); ++i) {
    const layout::gang::GangItemAnswer& item = answer.items[i];
    const layout::Size& piece = request.items[i].piece;
    table.rows.push_back({item.id, SizeText(piece.length, piece.width),
                          std::to_string(item.quantity), std::to_string(item.produced),
                          std::to_string(item.produced - item.quantity)});
  }
  return table;
}

std::vector<std::int64_t> PiecesPerItem(const GangRequest& request, const GangLayout& layout) {
  std::vector<std::int64_t> pieces(request.items.size());
  for (const layout::gang::GangBlock& b : layout.blocks) {
    pieces.at(static_cast<std::size_t>(b.item)) += b.block.columns * b.block.rows;
  }
  return pieces;
}

Drawing GangDrawing(const GangRequest& request, const GangLayout& layout) {
  std::vector<layout::Spacing> kinds;
  kinds.reserve(request.items.size());
  for (const layout::gang::GangItem& item : request.items)
    kinds.push_back(SpacingOf(request, item));
  std::vector<KindBlock> blocks;
  for (const layout::gang::GangBlock& b : layout.blocks) {
    blocks.push_back({.kind = b.item, .block = b.block});
  }
  const std::vector<layout::CutNode> cuts =
      layout.cuts ? CutNodes(*layout.cuts) : std::vector<layout::CutNode>{};
  return SheetDrawing(request.sheet, request.margins, kinds, blocks, layout.cuts ? &cuts : nullptr);
}

DrawingLabels GangLabels(const GangRequest& request, const GangLayout& layout, std::size_t number) {
  DrawingLabels labels{.title = LayoutTitle(layout, number) + " · " + GangSummary(request),
                       .sheet = request.sheet,
                       .gripper = request.margins.gripper,
                       .id_prefix = "layout-" + std::to_string(number)};
  const std::vector<std::int64_t> pieces = PiecesPerItem(request, layout);
  for (std::size_t i = 0; i < request.items.size(); ++i) {
    const layout::gang::GangItem& item = request.items[i];
    labels.piece_labels.push_back(item.id);
    labels.colours.push_back(JobColour(i));
    if (pieces[i] == 0) continue;
    labels.legend.push_back({.kind = static_cast<int>(i),
                             .text = item.id + " · " +
                                     SizeText(item.piece.length, item.piece.width) + " · 每张 " +
                                     std::to_string(pieces[i])});
  }
  return labels;
}

std::vector<Figure> LayoutFigures(const GangLayout& layout) {
  return {{"runs", "印张", Sheets(layout.runs)},
          {"pieces", "每张成品", std::to_string(PiecesOf(layout))},
          {"utilisation", "纸张利用率", Percent(layout.utilisation)}};
}

std::vector<std::string> LayoutCutSteps(const GangLayout& layout) {
  return layout.cuts ? CutSteps(CutNodes(*layout.cuts)) : std::vector<std::string>{};
}

std::string_view LayoutNoCutsNote(const GangRequest& request, const GangLayout& layout) {
  return layout.cuts ? "" : NoCutsNote(request.cut, PiecesOf(layout));
}

std::string LayoutTitle(const GangLayout& layout, std::size_t number) {
  return "版 " + std::to_string(number) + " · 印 " + Sheets(layout.runs);
}

std::string GangSummary(const GangRequest& request) {
  std::string text = "纸张 " + SizeText(request.sheet.length, request.sheet.width) + " mm · 印件 " +
                     std::to_string(request.items.size()) + " 个";
  AppendSpacing(text, request.bleed, request.gutter, request.margins);
  text.append(CutText(request.cut));
  text.append(" · 最多 ").append(std::to_string(request.max_layouts)).append(" 版");
  if (request.makeready > 0) {
    text.append(" · 每版校版纸 ").append(Sheets(request.makeready));
  }
  if (request.setup_sheets > 0) {
    text.append(" · 每版另计 ").append(Decimal(request.setup_sheets, 2)).append(" 张");
  }
  if (request.overs_percent > 0) {
    text.append(" · 加放 ").append(Decimal(request.overs_percent, 2)).append("%");
  }
  return text;
}

std::string GangSvg(const GangRequest& request, const GangAnswer& answer, std::size_t number,
                    bool standalone) {
  const GangLayout& layout = answer.layouts.at(number - 1);
  return DrawingSvg(GangDrawing(request, layout), GangLabels(request, layout, number), standalone);
}

std::string GangPdf(const GangRequest& request, const GangAnswer& answer) {
  TextTable layouts{.title = "版", .head = {"版", "印张", "利用率", "每张成品"}};
  for (std::size_t i = 0; i < answer.layouts.size(); ++i) {
    const GangLayout& layout = answer.layouts[i];
    layouts.rows.push_back({std::to_string(i + 1), Sheets(layout.runs), Percent(layout.utilisation),
                            Contents(request, layout)});
  }
  SheetPdf pdf;
  const std::string summary = GangSummary(request);
  pdf.FiguresPage("拼版组合计划", summary, GangFigures(answer),
                  {JobsTable(request, answer), std::move(layouts)});
  for (std::size_t i = 0; i < answer.layouts.size(); ++i) {
    const GangLayout& layout = answer.layouts[i];
    pdf.CutSheet(LayoutTitle(layout, i + 1), summary, GangDrawing(request, layout),
                 GangLabels(request, layout, i + 1), LayoutFigures(layout), LayoutCutSteps(layout),
                 LayoutNoCutsNote(request, layout), true);
  }
  return pdf.Finish();
}

}  // namespace sheetora::planner
