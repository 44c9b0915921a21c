// What a gang plan shows, whatever it is drawn on: its figures, the jobs' table, each layout's
// drawing, labels and cut steps; and the plan's SVG and PDF. The /gang page, /gang.svg and
// /gang.pdf take their texts and shapes from here, in the locale's words, so they agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "layout/gang/gang.h"
#include "pages/planner/messages.h"
#include "pages/planner/plan_pdf.h"
#include "pages/planner/plan_view.h"

namespace sheetora::planner {

/// The plan at a glance: sheets, press sheets, layouts, cost, bound, gap, proof, then the
/// paper's figures when the request has paper.
std::vector<Figure> GangFigures(const layout::gang::GangAnswer& answer, const Locale& locale);

/// How far the plan's cost may lie above the best possible, in percent of the bound: "1.76%";
/// "—" without a positive bound.
std::string GapText(const layout::gang::GangAnswer& answer, const Locale& locale);

/// The jobs' table: name, size, quantity, produced and overs (produced beyond the quantity).
TextTable JobsTable(const layout::gang::GangRequest& request,
                    const layout::gang::GangAnswer& answer, const Locale& locale);

/// A layout's pieces of each item, by the item's index.
std::vector<std::int64_t> PiecesPerItem(const layout::gang::GangRequest& request,
                                        const layout::gang::GangLayout& layout);

/// The drawing of a layout: the pieces of item k are of kind k.
Drawing GangDrawing(const layout::gang::GangRequest& request,
                    const layout::gang::GangLayout& layout);

/// A layout's labels: each job's name in its first piece, its colour, and a legend of the jobs
/// the layout holds with their pieces a sheet. `number` counts layouts from 1.
DrawingLabels GangLabels(const layout::gang::GangRequest& request,
                         const layout::gang::GangLayout& layout, std::size_t number,
                         const Locale& locale);

/// A layout's figures: its run length, pieces a sheet and utilisation.
std::vector<Figure> LayoutFigures(const layout::gang::GangLayout& layout, const Locale& locale);

/// A layout's cut steps, empty when it has no cut program.
std::vector<std::string> LayoutCutSteps(const layout::gang::GangLayout& layout,
                                        const Locale& locale);
/// Why a layout has no cut program, or "" when it has one.
std::string LayoutNoCutsNote(const layout::gang::GangRequest& request,
                             const layout::gang::GangLayout& layout, const Locale& locale);

/// "版 2 · 印 1,250 张".
std::string LayoutTitle(const layout::gang::GangLayout& layout, std::size_t number,
                        const Locale& locale);

/// "上机纸尺寸 1092 × 787 mm · 印件 3 个 · 出血 3 mm ...": the request in one line.
std::string GangSummary(const layout::gang::GangRequest& request, const Locale& locale);

/// Layout `number` (from 1) as an <svg> element, as DrawingSvg draws it.
std::string GangSvg(const layout::gang::GangRequest& request,
                    const layout::gang::GangAnswer& answer, std::size_t number,
                    const Locale& locale, bool standalone);

/// The plan's PDF: an A4 page of its figures and tables, then a page for each layout's cut
/// sheet (its cut list set smaller rather than spread over more pages, while it can be read).
std::string GangPdf(const layout::gang::GangRequest& request,
                    const layout::gang::GangAnswer& answer, const Locale& locale);

}  // namespace sheetora::planner
