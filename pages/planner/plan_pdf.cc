#include "pages/planner/plan_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "pages/planner/plan_view.h"

namespace sheetora::planner {
namespace {

// A4 landscape in points.
constexpr double kPageWidth = 841.89, kPageHeight = 595.28;
constexpr double kMargin = 30;
// The drawing's box on the first page; the figures go below it, the cut list to its right.
constexpr double kDrawingLeft = kMargin, kDrawingTop = 80, kDrawingWidth = 470,
                 kDrawingHeight = 330;
constexpr double kListLeft = 530, kListBottom = kPageHeight - kMargin;
constexpr double kListFont = 7, kListLine = 9.5;

struct SurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDestroy {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

void SetColour(cairo_t* cr, unsigned rgb) {
  cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
                       (rgb & 0xff) / 255.0);
}

void Write(cairo_t* cr, double x, double y, double size, std::string_view text,
           unsigned rgb = 0x222222) {
  const std::string owned(text);
  cairo_set_font_size(cr, size);
  SetColour(cr, rgb);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, owned.c_str());
}

/// Text centred on (x, y).
void WriteCentred(cairo_t* cr, double x, double y, double size, std::string_view text,
                  unsigned rgb = 0x222222) {
  const std::string owned(text);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, owned.c_str(), &extents);
  Write(cr, x - extents.width / 2 - extents.x_bearing, y + size / 3, size, text, rgb);
}

/// Maps the sheet's millimetres into the drawing box, y up from the gripper edge.
struct Frame {
  double scale, left, bottom;
  double X(double x) const { return left + x * scale; }
  double Y(double y) const { return bottom - y * scale; }
};

void Fill(cairo_t* cr, const Frame& f, const Box& box, unsigned fill, unsigned stroke = 0,
          double stroke_width = 0) {
  cairo_rectangle(cr, f.X(box.x), f.Y(box.y + box.width), box.length * f.scale,
                  box.width * f.scale);
  SetColour(cr, fill);
  if (stroke_width <= 0) {
    cairo_fill(cr);
    return;
  }
  cairo_fill_preserve(cr);
  SetColour(cr, stroke);
  cairo_set_line_width(cr, stroke_width);
  cairo_stroke(cr);
}

void DrawPlan(cairo_t* cr, const layout::Request& request, const Drawing& drawing,
              const Locale& locale) {
  const double L = drawing.sheet.length, W = drawing.sheet.width;
  const double room = 24;  // for the dimensions
  const double scale = std::min((kDrawingWidth - room) / L, (kDrawingHeight - room) / W);
  const Frame f{scale, kDrawingLeft + room, kDrawingTop + room / 2 + W * scale};

  Fill(cr, f, drawing.sheet, 0xffffff);
  for (const Box& strip : drawing.margins) Fill(cr, f, strip, 0xd5d5d5);
  for (const Box& bled : drawing.bled) Fill(cr, f, bled, 0xf3c6c0);
  for (const Box& piece : drawing.pieces) Fill(cr, f, piece, 0xd6e6f5, 0x2a5d8f, 0.4);
  // A label where it fits: the piece's size in the first piece, the count in each block.
  const auto label = [&](const Box& box, const std::string& text) {
    if (!LabelFits(box.length * f.scale, box.width * f.scale, text, 8)) return;
    WriteCentred(cr, f.X(box.x + box.length / 2), f.Y(box.y + box.width / 2), 8, text);
  };
  if (!drawing.pieces.empty()) {
    label(drawing.pieces.front(), locale.Size(request.piece.length, request.piece.width));
  }
  for (const BlockBox& block : drawing.blocks) {
    Fill(cr, f, block.box, 0xd6e6f5, 0x2a5d8f, 0.6);
    label(block.box, locale.Count(block.columns) + " × " + locale.Count(block.rows));
  }
  cairo_rectangle(cr, f.X(0), f.Y(W), L * f.scale, W * f.scale);
  SetColour(cr, 0x333333);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  SetColour(cr, 0xb03a2e);
  cairo_set_line_width(cr, 2.5);
  cairo_move_to(cr, f.X(0), f.Y(0));
  cairo_line_to(cr, f.X(L), f.Y(0));
  cairo_stroke(cr);

  const double dash[] = {3, 2};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 0.4);
  for (const CutLine& cut : drawing.cuts) {
    cairo_move_to(cr, f.X(cut.x1), f.Y(cut.y1));
    cairo_line_to(cr, f.X(cut.x2), f.Y(cut.y2));
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  if (drawing.cuts.size() <= kMaxNumberedCuts) {
    for (const CutLine& cut : drawing.cuts) {
      const double x = f.X((cut.x1 + cut.x2) / 2), y = f.Y((cut.y1 + cut.y2) / 2);
      const std::string number = std::to_string(cut.number);
      // A white patch keeps the number readable over the line and the pieces.
      const double half = 1.8 * static_cast<double>(number.size()) + 1.2;
      cairo_rectangle(cr, x - half, y - 3.6, 2 * half, 7.2);
      SetColour(cr, 0xffffff);
      cairo_fill(cr);
      WriteCentred(cr, x, y, 6, number, 0xb03a2e);
    }
  }

  WriteCentred(cr, f.X(L / 2), f.Y(W) - 8, 8, locale.Length(request.sheet.length));
  cairo_save(cr);
  cairo_translate(cr, f.X(0) - 8, f.Y(W / 2));
  cairo_rotate(cr, -1.5707963267948966);
  WriteCentred(cr, 0, 0, 8, locale.Length(request.sheet.width));
  cairo_restore(cr);
  WriteCentred(cr, f.X(L / 2), f.Y(0) + 10, 8,
               request.margins.gripper > 0
                   ? locale.Fill(Msg::kGripperWidth, {locale.Length(request.margins.gripper)})
                   : std::string(locale[Msg::kGripperEdge]));
}

}  // namespace

std::string PlanPdf(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale) {
  std::string pdf;
  const std::unique_ptr<cairo_surface_t, SurfaceDestroy> surface(
      cairo_pdf_surface_create_for_stream(&Append, &pdf, kPageWidth, kPageHeight));
  const std::unique_ptr<cairo_t, ContextDestroy> context(cairo_create(surface.get()));
  cairo_t* cr = context.get();
  const std::string title(locale[Msg::kCutSheetTitle]);
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
  cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_SUBJECT,
                                 RequestSummary(request, locale).c_str());
  cairo_select_font_face(cr, "WenQuanYi Micro Hei", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);

  Write(cr, kMargin, 42, 16, title);
  Write(cr, kMargin, 62, 9, RequestSummary(request, locale));
  DrawPlan(cr, request, DrawingOf(request, answer), locale);

  // The figures in two columns below the drawing.
  const std::vector<Figure> figures = Figures(answer, locale);
  const std::size_t per_column = (figures.size() + 1) / 2;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const double x = kMargin + (i < per_column ? 0 : 240);
    const double y = kDrawingTop + kDrawingHeight + 30 + 15 * static_cast<double>(i % per_column);
    Write(cr, x, y, 9, locale.Fill(Msg::kFigure, {figures[i].label, figures[i].value}));
  }

  // The cut list: the right column of the first page, then three columns a page.
  Write(cr, kListLeft, kDrawingTop, 11, locale[Msg::kCutList]);
  const std::vector<std::string> steps =
      answer.cuts ? CutSteps(*answer.cuts, locale) : std::vector<std::string>{};
  if (steps.empty())
    Write(cr, kListLeft, kDrawingTop + 18, kListFont + 1, NoCutsNote(request, answer, locale));
  double x = kListLeft, y = kDrawingTop + 18;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (y > kListBottom) {
      if (x + 2 * 260 > kPageWidth) {
        cairo_show_page(cr);
        x = kMargin - 260;
      }
      x += 260;
      y = kMargin + 12;
    }
    Write(cr, x, y, kListFont, std::to_string(i + 1) + ". " + steps[i]);
    y += kListLine;
  }
  cairo_show_page(cr);
  cairo_surface_finish(surface.get());
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot draw the cut sheet");
  }
  return pdf;
}

}  // namespace sheetora::planner
