// The printable sheets of the planner pages, drawn with Cairo on A4 landscape: /plan.pdf's cut
// sheet, and the pages /gang.pdf puts together from the same parts.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout.h"
#include "pages/planner/plan_view.h"

namespace sheetora::planner {

/// The PDF's bytes. The first page holds the drawing, the figures and as much of the cut list
/// as fits; the rest of a long cut list follows on further pages. Text is in the locale's
/// language and unit, set in WenQuanYi Micro Hei (fontconfig picks another face where it is
/// missing); the document's title and subject say what it is in that language.
std::string PlanPdf(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale);

/// A table of texts: its column heads and its rows.
struct TextTable {
  std::string title;
  std::vector<std::string> head;
  std::vector<std::vector<std::string>> rows;
};

/// A PDF document of A4 landscape pages, written page by page.
class SheetPdf {
 public:
  /// Joins figures to their labels and heads the cut list in the locale's words.
  explicit SheetPdf(const Locale& locale = {});
  SheetPdf(const SheetPdf&) = delete;
  SheetPdf& operator=(const SheetPdf&) = delete;
  ~SheetPdf();

  /// One page of figures in two columns, then the tables one below the other; the rows share
  /// out the page's height in as many columns as they need, so the page stays one.
  void FiguresPage(std::string_view title, std::string_view summary,
                   const std::vector<Figure>& figures, const std::vector<TextTable>& tables);

  /// A cut sheet: the drawing with its legend, the figures below it, the cut steps (or `note`
  /// when there are none) to its right, then the `lifts` that stack them, continued on further
  /// pages when they are many. With
  /// `fit_page` a long list is first set smaller, in columns, to keep the sheet one page.
  void CutSheet(std::string_view title, std::string_view summary, const Drawing& drawing,
                const DrawingLabels& labels, const std::vector<Figure>& figures,
                const std::vector<std::string>& steps, std::string_view note, bool fit_page,
                const std::vector<std::string>& lifts = {});

  /// The document's bytes; nothing may be added after.
  std::string Finish();

 private:
  struct SurfaceDestroy {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
  };
  struct ContextDestroy {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  };
  std::string pdf_;  // the surface writes here: declared first, destroyed last
  std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface_;
  std::unique_ptr<cairo_t, ContextDestroy> context_;
  Locale locale_;
  bool titled_ = false;

  /// The page's title and summary; the first page's are the document's metadata.
  void Heading(std::string_view title, std::string_view summary);
};

/// Releases the font caches that Cairo and fontconfig keep for the life of the process, so that a
/// leak checker reports only our own allocations. Only once nothing draws any more: at exit.
void ReleaseFontCaches();

}  // namespace sheetora::planner
