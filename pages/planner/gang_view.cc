#include "pages/planner/gang_view.h"

#include <utility>

#include "pages/planner/plan_svg.h"

namespace sheetora::planner {
namespace {

using layout::gang::GangAnswer;
using layout::gang::GangLayout;
using layout::gang::GangRequest;

std::string Sheets(std::int64_t n, const Locale& locale) {
  return locale.Fill(Msg::kSheetCount, {locale.Count(n)});
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
std::string Contents(const GangRequest& request, const GangLayout& layout, const Locale& locale) {
  const std::vector<std::int64_t> pieces = PiecesPerItem(request, layout);
  std::string text;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (pieces[i] == 0) continue;
    if (!text.empty()) text += ' ';
    text.append(request.items[i].id).append("×").append(locale.Count(pieces[i]));
  }
  return text;
}

}  // namespace

std::string GapText(const GangAnswer& answer, const Locale& locale) {
  if (answer.bound <= 0) return "—";
  return locale.Number((answer.cost - answer.bound) / answer.bound * 100, 2) + "%";
}

std::vector<Figure> GangFigures(const GangAnswer& answer, const Locale& locale) {
  std::vector<Figure> figures = {
      {"sheets", locale[Msg::kRunSheets], Sheets(answer.sheets, locale)},
      {"press-sheets", locale[Msg::kPressSheets], Sheets(answer.press_sheets, locale)},
      {"layouts", locale[Msg::kLayoutCount], locale.Count(std::ssize(answer.layouts))},
      {"plan-cost", locale[Msg::kGangCost], locale.Number(answer.cost, 2)},
      {"bound", locale[Msg::kGangBound], locale.Number(answer.bound, 2)},
      {"gap", locale[Msg::kGap], GapText(answer, locale)},
      {"proof", locale[Msg::kProof],
       std::string(locale[answer.proof == layout::Proof::kOptimal ? Msg::kGangOptimal
                                                                  : Msg::kGangNotProven])},
  };
  if (!answer.complete) {
    figures.push_back({"complete", locale[Msg::kSearch], std::string(locale[Msg::kCutShort])});
  }
  if (!answer.paper) return figures;
  const layout::gang::GangPaperAnswer& paper = *answer.paper;
  if (paper.error) {
    figures.push_back(
        {"paper-error", locale[Msg::kPaper], std::string(locale[Msg::kJobParentTooSmall])});
    return figures;
  }
  AppendPaperFigures(figures,
                     {.per_parent = paper.per_parent,
                      .parent_sheets = paper.parent_sheets,
                      .weight_kg = paper.weight_kg,
                      .cost = paper.cost,
                      .paper_utilisation = paper.paper_utilisation},
                     locale);
  return figures;
}

TextTable JobsTable(const GangRequest& request, const GangAnswer& answer, const Locale& locale) {
  TextTable table{.title = std::string(locale[Msg::kGroupJobs]),
                  .head = {std::string(locale[Msg::kJobName]), std::string(locale[Msg::kPiece]),
                           std::string(locale[Msg::kQuantity]), std::string(locale[Msg::kProduced]),
                           std::string(locale[Msg::kOverCount])}};
  for (std::size_t i = 0; i < answer.items.size() && i < request.items.size(); ++i) {
    const layout::gang::GangItemAnswer& item = answer.items[i];
    const layout::Size& piece = request.items[i].piece;
    table.rows.push_back({item.id, locale.Size(piece.length, piece.width),
                          locale.Count(item.quantity), locale.Count(item.produced),
                          locale.Count(item.produced - item.quantity)});
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
  for (const layout::gang::GangItem& item : request.items) {
    kinds.push_back({.piece = item.piece,
                     .bleed = item.bleed.value_or(request.bleed),
                     .gutter = request.gutter});
  }
  std::vector<KindBlock> blocks;
  for (const layout::gang::GangBlock& b : layout.blocks) {
    blocks.push_back({.kind = b.item, .block = b.block});
  }
  const std::vector<layout::CutNode> cuts =
      layout.cuts ? CutNodes(*layout.cuts) : std::vector<layout::CutNode>{};
  return SheetDrawing(request.sheet, request.margins, kinds, blocks, layout.cuts ? &cuts : nullptr);
}

DrawingLabels GangLabels(const GangRequest& request, const GangLayout& layout, std::size_t number,
                         const Locale& locale) {
  DrawingLabels labels{.title = LayoutTitle(layout, number, locale),
                       .locale = locale,
                       .sheet = request.sheet,
                       .gripper = request.margins.gripper,
                       .id_prefix = "layout-" + std::to_string(number)};
  const std::vector<std::int64_t> pieces = PiecesPerItem(request, layout);
  for (std::size_t i = 0; i < request.items.size(); ++i) {
    const layout::gang::GangItem& item = request.items[i];
    labels.piece_labels.push_back(item.id);
    labels.colours.push_back(JobColour(i));
    if (pieces[i] == 0) continue;
    labels.legend.push_back(
        {.kind = static_cast<int>(i),
         .text = locale.Fill(Msg::kLegendEntry,
                             {item.id, locale.Size(item.piece.length, item.piece.width),
                              locale.Count(pieces[i])})});
    // The drawing's words for those who cannot see it: the legend's lines.
    if (!labels.description.empty()) labels.description += locale[Msg::kBlockSeparator];
    labels.description += labels.legend.back().text;
  }
  return labels;
}

std::vector<Figure> LayoutFigures(const GangLayout& layout, const Locale& locale) {
  return {{"runs", locale[Msg::kRuns], Sheets(layout.runs, locale)},
          {"pieces", locale[Msg::kPiecesPerSheet], locale.Count(PiecesOf(layout))},
          {"utilisation", locale[Msg::kUtilisation], Percent(layout.utilisation, locale)}};
}

std::vector<std::string> LayoutCutSteps(const GangLayout& layout, const Locale& locale) {
  return layout.cuts ? CutSteps(CutNodes(*layout.cuts), locale) : std::vector<std::string>{};
}

std::string LayoutNoCutsNote(const GangRequest& request, const GangLayout& layout,
                             const Locale& locale) {
  if (layout.cuts) return "";
  if (request.cut == layout::CutMode::kDie) return std::string(locale[Msg::kNoCutsDie]);
  if (PiecesOf(layout) > kMaxDrawnPieces) {
    return locale.Fill(Msg::kNoCutsTooMany, {locale.Count(kMaxDrawnPieces)});
  }
  return std::string(locale[Msg::kNoCuts]);
}

std::string LayoutTitle(const GangLayout& layout, std::size_t number, const Locale& locale) {
  return locale.Fill(Msg::kLayoutTitle, {std::to_string(number), Sheets(layout.runs, locale)});
}

std::string GangSummary(const GangRequest& request, const Locale& locale) {
  const auto item = [&](Msg label, std::string_view value) {
    return locale.Fill(Msg::kSummary, {locale[label], value});
  };
  std::string text = item(Msg::kSheet, locale.Size(request.sheet.length, request.sheet.width) +
                                           " " + std::string(locale.UnitName())) +
                     " · " + locale.Fill(Msg::kJobCount, {locale.Count(std::ssize(request.items))});
  AppendSpacing(text, request.bleed, request.gutter, request.margins, locale);
  text.append(" · ").append(
      locale[request.cut == layout::CutMode::kDie ? Msg::kCutDie : Msg::kCutGuillotine]);
  text.append(" · ").append(locale.Fill(Msg::kMostLayouts, {locale.Count(request.max_layouts)}));
  if (request.makeready > 0) {
    text.append(" · ").append(item(Msg::kMakereadyPerLayout, Sheets(request.makeready, locale)));
  }
  if (request.setup_sheets > 0) {
    text.append(" · ").append(item(Msg::kSetupSheets, locale.Number(request.setup_sheets, 2)));
  }
  if (request.overs_percent > 0) {
    text.append(" · ").append(item(Msg::kOvers, locale.Number(request.overs_percent, 2) + "%"));
  }
  return text;
}

std::string GangSvg(const GangRequest& request, const GangAnswer& answer, std::size_t number,
                    const Locale& locale, bool standalone) {
  const GangLayout& layout = answer.layouts.at(number - 1);
  return DrawingSvg(GangDrawing(request, layout), GangLabels(request, layout, number, locale),
                    standalone);
}

std::string GangPdf(const GangRequest& request, const GangAnswer& answer, const Locale& locale) {
  TextTable layouts{
      .title = std::string(locale[Msg::kLayoutCount]),
      .head = {std::string(locale[Msg::kLayoutNumber]), std::string(locale[Msg::kRuns]),
               std::string(locale[Msg::kUtilisation]), std::string(locale[Msg::kPiecesPerSheet])}};
  for (std::size_t i = 0; i < answer.layouts.size(); ++i) {
    const GangLayout& layout = answer.layouts[i];
    layouts.rows.push_back({std::to_string(i + 1), Sheets(layout.runs, locale),
                            Percent(layout.utilisation, locale),
                            Contents(request, layout, locale)});
  }
  SheetPdf pdf(locale);
  const std::string summary = GangSummary(request, locale);
  pdf.FiguresPage(std::string(locale[Msg::kGangPdfTitle]), summary, GangFigures(answer, locale),
                  {JobsTable(request, answer, locale), std::move(layouts)});
  for (std::size_t i = 0; i < answer.layouts.size(); ++i) {
    const GangLayout& layout = answer.layouts[i];
    pdf.CutSheet(LayoutTitle(layout, i + 1, locale), summary, GangDrawing(request, layout),
                 GangLabels(request, layout, i + 1, locale), LayoutFigures(layout, locale),
                 LayoutCutSteps(layout, locale), LayoutNoCutsNote(request, layout, locale), true);
  }
  return pdf.Finish();
}

}  // namespace sheetora::planner
