#include "pages/planner/plan_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

#include "pages/planner/plan_view.h"
#include "press/pdf_language.h"

namespace sheetora::planner {
namespace {

// A4 landscape in points.
constexpr double kPageWidth = 841.89, kPageHeight = 595.28;
constexpr double kMargin = 30;
// The drawing's box on the first page; the figures go below it, the cut list to its right.
constexpr double kDrawingLeft = kMargin, kDrawingTop = 80, kDrawingWidth = 470,
                 kDrawingHeight = 330;
constexpr double kListGap = 30, kListBottom = kPageHeight - kMargin;
constexpr double kListFont = 7, kListLine = 9.5;

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

/// The drawing in a box `width` points wide at the top left of the page.
void DrawSheet(cairo_t* cr, const Drawing& drawing, const DrawingLabels& labels, double width) {
  const double L = drawing.sheet.length, W = drawing.sheet.width;
  const double room = 24;  // for the dimensions
  // The legend's lines under the sheet, two entries a line.
  constexpr double kLegendLine = 11;
  const double legend_height = kLegendLine * static_cast<double>((labels.legend.size() + 1) / 2) +
                               (labels.legend.empty() ? 0 : 8);
  const double scale = std::min((width - room) / L, (kDrawingHeight - room - legend_height) / W);
  const Frame f{scale, kDrawingLeft + room, kDrawingTop + room / 2 + W * scale};

  const auto fill_of = [&](int kind) {
    return labels.colours.empty() ? 0xd6e6f5U : labels.colours[static_cast<std::size_t>(kind)];
  };
  Fill(cr, f, drawing.sheet, 0xffffff);
  for (const Box& strip : drawing.margins) Fill(cr, f, strip, 0xd5d5d5);
  for (const Piece& piece : drawing.pieces) {
    if (piece.bled.length != piece.trim.length) Fill(cr, f, piece.bled, 0xf3c6c0);
  }
  for (const Piece& piece : drawing.pieces) {
    Fill(cr, f, piece.trim, fill_of(piece.kind), 0x2a5d8f, 0.4);
  }
  // A label where it fits: each kind's in its first piece, the count in each block.
  const auto label = [&](const Box& box, const std::string& text) {
    if (!LabelFits(box.length * f.scale, box.width * f.scale, text, 8)) return;
    WriteCentred(cr, f.X(box.x + box.length / 2), f.Y(box.y + box.width / 2), 8, text);
  };
  std::vector<bool> labelled(labels.piece_labels.size());
  for (const Piece& piece : drawing.pieces) {
    const auto kind = static_cast<std::size_t>(piece.kind);
    if (kind >= labelled.size() || labelled[kind]) continue;
    labelled[kind] = true;
    label(piece.trim, labels.piece_labels[kind]);
  }
  for (const BlockBox& block : drawing.blocks) {
    Fill(cr, f, block.box, fill_of(block.kind), 0x2a5d8f, 0.6);
    label(block.box, std::to_string(block.columns) + " × " + std::to_string(block.rows));
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

  WriteCentred(cr, f.X(L / 2), f.Y(W) - 8, 8, labels.locale.Length(labels.sheet.length));
  cairo_save(cr);
  cairo_translate(cr, f.X(0) - 8, f.Y(W / 2));
  cairo_rotate(cr, -1.5707963267948966);
  WriteCentred(cr, 0, 0, 8, labels.locale.Length(labels.sheet.width));
  cairo_restore(cr);
  WriteCentred(cr, f.X(L / 2), f.Y(0) + 10, 8, GripperText(labels.gripper, labels.locale));

  for (std::size_t i = 0; i < labels.legend.size(); ++i) {
    const double x = kDrawingLeft + room + static_cast<double>(i % 2) * (width / 2);
    const double y = f.Y(0) + 18 + kLegendLine * static_cast<double>(i / 2);
    cairo_rectangle(cr, x, y, 14, 8);
    SetColour(cr, labels.colours[static_cast<std::size_t>(labels.legend[i].kind)]);
    cairo_fill_preserve(cr);
    SetColour(cr, 0x333333);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
    Write(cr, x + 18, y + 7, 7.5, labels.legend[i].text);
  }
}

}  // namespace

SheetPdf::SheetPdf(const Locale& locale)
    : surface_(cairo_pdf_surface_create_for_stream(&Append, &pdf_, kPageWidth, kPageHeight)),
      context_(cairo_create(surface_.get())),
      locale_(locale) {
  cairo_select_font_face(context_.get(), "WenQuanYi Micro Hei", CAIRO_FONT_SLANT_NORMAL,
                         CAIRO_FONT_WEIGHT_NORMAL);
}

SheetPdf::~SheetPdf() = default;

void SheetPdf::FiguresPage(std::string_view title, std::string_view summary,
                           const std::vector<Figure>& figures,
                           const std::vector<TextTable>& tables) {
  cairo_t* cr = context_.get();
  Heading(title, summary);
  const std::size_t per_column = (figures.size() + 1) / 2;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const double x = kMargin + (i < per_column ? 0 : 390);
    const double y = 90 + 15 * static_cast<double>(i % per_column);
    Write(cr, x, y, 10, locale_.Fill(Msg::kFigure, {figures[i].label, figures[i].value}));
  }
  // The tables' rows (a title, a head and the rows each) share out the rest of the page in up
  // to three columns, in a font no larger than 9 points.
  const double top = 90 + 15 * static_cast<double>(per_column) + 12;
  std::size_t lines = 0;
  for (const TextTable& table : tables) lines += table.rows.size() + 2;
  const double height = kPageHeight - kMargin - top;
  const std::size_t columns =
      std::min<std::size_t>(3, 1 + lines * 12 / static_cast<std::size_t>(height));
  const double line =
      std::min(12.0, height * static_cast<double>(columns) / static_cast<double>(lines + 1));
  const double column_width = (kPageWidth - 2 * kMargin) / static_cast<double>(columns);
  double x = kMargin, y = top;
  const auto next_line = [&] {
    y += line;
    if (y > kPageHeight - kMargin) {
      x += column_width;
      y = top + line;
    }
  };
  for (const TextTable& table : tables) {
    next_line();
    Write(cr, x, y, line * 0.8, table.title, 0x2f4f6f);
    const double cell = column_width / static_cast<double>(table.head.size());
    const auto row_of = [&](const std::vector<std::string>& row, unsigned rgb) {
      next_line();
      for (std::size_t c = 0; c < row.size(); ++c) {
        Write(cr, x + cell * static_cast<double>(c), y, line * 0.72, row[c], rgb);
      }
    };
    row_of(table.head, 0x555555);
    for (const std::vector<std::string>& row : table.rows) row_of(row, 0x222222);
  }
  cairo_show_page(cr);
}

void SheetPdf::CutSheet(std::string_view title, std::string_view summary, const Drawing& drawing,
                        const DrawingLabels& labels, const std::vector<Figure>& figures,
                        const std::vector<std::string>& steps, std::string_view note, bool fit_page,
                        const std::vector<std::string>& lifts) {
  cairo_t* cr = context_.get();
  std::vector<std::string> numbered;
  numbered.reserve(steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    numbered.push_back(std::to_string(i + 1) + ". " + steps[i]);
  }
  // Then the same cuts as the operator works them, identical strips stacked.
  if (!lifts.empty()) numbered.emplace_back(locale_[Msg::kLiftList]);
  for (std::size_t i = 0; i < lifts.size(); ++i) {
    numbered.push_back(
        std::string("(").append(std::to_string(i + 1)).append(") ").append(lifts[i]));
  }
  // The cut list goes beside the drawing, then on further pages. To keep the sheet one page,
  // a long list is first set smaller (down to 4.5 points) in as many columns as the widest step
  // allows, then also given room from the drawing.
  double drawing_width = kDrawingWidth, font = kListFont, line = kListLine, column = 260;
  std::size_t lines = 0;  // a column's, when the list is fitted to the page
  if (fit_page && !numbered.empty()) {
    double widest = 0;
    cairo_set_font_size(cr, 1);
    for (const std::string& step : numbered) {
      cairo_text_extents_t extents;
      cairo_text_extents(cr, step.c_str(), &extents);
      widest = std::max(widest, extents.x_advance);
    }
    for (const double width : {kDrawingWidth, kDrawingWidth * 0.8, kDrawingWidth * 0.6}) {
      for (double size = kListFont; size >= 4.5 && lines == 0; size -= 0.5) {
        const double room = kPageWidth - kMargin - (kDrawingLeft + width + kListGap);
        const double size_line = size * kListLine / kListFont, size_column = widest * size + 8;
        const auto rows =
            static_cast<std::size_t>((kListBottom - kDrawingTop - 18) / size_line) + 1;
        if (static_cast<std::size_t>(room / size_column) * rows < numbered.size()) continue;
        drawing_width = width, font = size, line = size_line, column = size_column, lines = rows;
      }
      if (lines > 0) break;
    }
  }
  const double list_left = kDrawingLeft + drawing_width + kListGap;

  Heading(title, summary);
  DrawSheet(cr, drawing, labels, drawing_width);

  // The figures in two columns below the drawing.
  const std::size_t per_column = (figures.size() + 1) / 2;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    const double x = kMargin + (i < per_column ? 0 : 240 * drawing_width / kDrawingWidth);
    const double y = kDrawingTop + kDrawingHeight + 30 + 15 * static_cast<double>(i % per_column);
    Write(cr, x, y, 9, locale_.Fill(Msg::kFigure, {figures[i].label, figures[i].value}));
  }

  Write(cr, list_left, kDrawingTop, 11, locale_[Msg::kCutList]);
  if (steps.empty()) Write(cr, list_left, kDrawingTop + 18, kListFont + 1, note);
  if (lines > 0) {
    for (std::size_t i = 0; i < numbered.size(); ++i) {
      Write(cr, list_left + column * static_cast<double>(i / lines),
            kDrawingTop + 18 + line * static_cast<double>(i % lines), font, numbered[i]);
    }
    cairo_show_page(cr);
    return;
  }
  // The right column of the first page, then three columns a page.
  double x = list_left, y = kDrawingTop + 18;
  for (const std::string& step : numbered) {
    if (y > kListBottom) {
      if (x + 2 * column > kPageWidth) {
        cairo_show_page(cr);
        x = kMargin - column;
      }
      x += column;
      y = kMargin + 12;
    }
    Write(cr, x, y, kListFont, step);
    y += kListLine;
  }
  cairo_show_page(cr);
}

void SheetPdf::Heading(std::string_view title, std::string_view summary) {
  if (!titled_) {
    // The document is called after its first page.
    cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE,
                                   std::string(title).c_str());
    cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_SUBJECT,
                                   std::string(summary).c_str());
    titled_ = true;
  }
  Write(context_.get(), kMargin, 42, 16, title);
  Write(context_.get(), kMargin, 62, 9, summary);
}

std::string SheetPdf::Finish() {
  context_.reset();
  cairo_surface_finish(surface_.get());
  if (cairo_surface_status(surface_.get()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error("cannot draw the cut sheet");
  }
  // Cairo writes no document language; a screen reader takes its voice from the catalog's /Lang.
#ifdef SHEETORA_WITHOUT_QPDF
  return pdf_;
#else
  return press::WithDocumentLanguage(pdf_, locale_.language().tag);
#endif
}

std::string PlanPdf(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale) {
  SheetPdf pdf(locale);
  const std::vector<std::string> steps =
      answer.cuts ? CutSteps(*answer.cuts, locale) : std::vector<std::string>{};
  const std::vector<std::string> lifts =
      answer.sequence ? LiftSteps(*answer.sequence, locale) : std::vector<std::string>{};
  pdf.CutSheet(std::string(locale[Msg::kCutSheetTitle]), RequestSummary(request, locale),
               DrawingOf(request, answer), PlanLabels(request, answer, locale),
               Figures(answer, locale), steps, NoCutsNote(answer, locale), false, lifts);
  return pdf.Finish();
}

void ReleaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

}  // namespace sheetora::planner
