#include "pages/planner/plan_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "pages/planner/plan_view.h"
#include "runtime/page.h"

namespace sheetora::planner {
namespace {

// Strokes keep their width on screen whatever the sheet's size.
constexpr std::string_view kStyle = R"(<style>
svg.plan rect,svg.plan line,svg.plan path{vector-effect:non-scaling-stroke}
svg.plan .sheet{fill:#fff;stroke:#333;stroke-width:1.5}
svg.plan .margin{fill:#d5d5d5}
svg.plan .gripper{stroke:#b03a2e;stroke-width:2.5}
svg.plan .bleed{fill:#f3c6c0}
svg.plan .piece,svg.plan .cell{fill:#d6e6f5;stroke:#2a5d8f;stroke-width:.75}
svg.plan .cell{vector-effect:none}
svg.plan .block{stroke:#2a5d8f;stroke-width:1}
svg.plan .cut{stroke:#b03a2e;stroke-width:.75;stroke-dasharray:5 3}
svg.plan text{font-family:"WenQuanYi Micro Hei","Microsoft YaHei",sans-serif;fill:#333}
svg.plan .cut-no{fill:#b03a2e;paint-order:stroke;stroke:#fff;stroke-width:.3em}
svg.plan .dim{stroke:#333;stroke-width:.75}
svg.plan .swatch{stroke:#333;stroke-width:.75}
</style>
)";

/// Appends ` name="value"` with the number in millimetres, at most 3 decimals.
void Attribute(std::string& svg, std::string_view name, double value) {
  svg.append(" ").append(name).append("=\"").append(Decimal(value, 3)).append("\"");
}

void Rect(std::string& svg, std::string_view cls, const Box& box, std::string_view extra = "") {
  svg.append("<rect class=\"").append(cls).append("\"");
  Attribute(svg, "x", box.x);
  Attribute(svg, "y", box.y);
  Attribute(svg, "width", box.length);
  Attribute(svg, "height", box.width);
  svg.append(extra).append("/>\n");
}

void Line(std::string& svg, std::string_view cls, double x1, double y1, double x2, double y2) {
  svg.append("<line class=\"").append(cls).append("\"");
  Attribute(svg, "x1", x1);
  Attribute(svg, "y1", y1);
  Attribute(svg, "x2", x2);
  Attribute(svg, "y2", y2);
  svg.append("/>\n");
}

/// Text centred at (x, y) in the drawing's upright coordinates.
void Text(std::string& svg, std::string_view cls, double x, double y, double size,
          std::string_view text, std::string_view extra = "") {
  svg.append("<text class=\"").append(cls).append("\" text-anchor=\"middle\"");
  Attribute(svg, "x", x);
  Attribute(svg, "y", y);
  Attribute(svg, "font-size", size);
  svg.append(extra).append(">").append(text).append("</text>\n");
}

std::string HexColour(unsigned rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", rgb & 0xffffffU);
  return text;
}

}  // namespace

std::string DrawingSvg(const Drawing& drawing, const DrawingLabels& labels, bool standalone) {
  const double L = drawing.sheet.length, W = drawing.sheet.width;
  const double font = std::max(L, W) / 40;
  const double pad = 3 * font;
  // The legend's lines under the gripper's label, as many a line as its longest entry allows.
  std::size_t longest = 0;
  for (const LegendEntry& entry : labels.legend) longest = std::max(longest, entry.text.size());
  const double entry_width = font * (2.5 + 0.6 * static_cast<double>(longest));
  const auto per_line =
      static_cast<std::size_t>(std::max(1.0, std::floor((L + pad) / entry_width)));
  const std::size_t legend_lines = (labels.legend.size() + per_line - 1) / per_line;
  const double legend_top = W + 3 * font, height = W + 2 * pad + 1.6 * font * legend_lines;
  std::string svg;
  if (standalone) svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  const std::string& id = labels.id_prefix;
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plan\" role=\"img\"";
  svg += " aria-labelledby=\"" + id + "-title\"";
  if (!labels.description.empty()) svg += " aria-describedby=\"" + id + "-desc\"";
  if (standalone) svg += " xml:lang=\"" + std::string(labels.locale.language().tag) + "\"";
  svg += " viewBox=\"" + Decimal(-pad, 3) + " " + Decimal(-pad, 3) + " " + Decimal(L + 2 * pad, 3) +
         " " + Decimal(height, 3) + "\"";
  if (standalone) {
    svg += " width=\"" + Decimal(L + 2 * pad, 3) + "mm\" height=\"" + Decimal(height, 3) + "mm\"";
  }
  svg += ">\n<title id=\"" + id + "-title\">" + EscapeHtmlAttribute(labels.title) + "</title>\n";
  if (!labels.description.empty()) {
    svg += "<desc id=\"" + id + "-desc\">" + EscapeHtmlAttribute(labels.description) + "</desc>\n";
  }
  svg += kStyle;
  if (!labels.colours.empty()) {
    svg += "<style>\n";
    for (std::size_t kind = 0; kind < labels.colours.size(); ++kind) {
      svg += "svg.plan .job-" + std::to_string(kind) + "{fill:" + HexColour(labels.colours[kind]) +
             "}\n";
    }
    svg += "</style>\n";
  }
  // The class of a kind's pieces: its own colour when the drawing has colours.
  const auto piece_class = [&](std::string_view base, int kind) {
    std::string cls(base);
    if (!labels.colours.empty()) cls += " job-" + std::to_string(kind);
    return cls;
  };

  if (!drawing.blocks.empty()) {
    svg += "<defs>\n";
    for (std::size_t i = 0; i < drawing.blocks.size(); ++i) {
      const BlockBox& block = drawing.blocks[i];
      svg += "<pattern id=\"" + labels.id_prefix + "-block-" + std::to_string(i) +
             "\" patternUnits=\"userSpaceOnUse\"";
      Attribute(svg, "x", block.box.x);
      Attribute(svg, "y", block.box.y);
      Attribute(svg, "width", block.pitch_x);
      Attribute(svg, "height", block.pitch_y);
      svg += ">\n";
      const double bleed = block.cell.x - block.box.x;
      if (bleed > 0) Rect(svg, "bleed", {0, 0, block.bled_cell.length, block.bled_cell.width});
      // Strokes in proportion to the cell: lines a pixel wide would darken a block of cells
      // smaller than a pixel into one solid colour.
      const double stroke = std::min(block.cell.length, block.cell.width) / 20;
      Rect(svg, piece_class("cell", block.kind),
           {bleed, bleed, block.cell.length, block.cell.width},
           " style=\"stroke-width:" + Decimal(stroke, 3) + "\"");
      svg += "</pattern>\n";
    }
    svg += "</defs>\n";
  }

  // Shapes are placed in sheet coordinates, y up from the gripper edge; texts stay upright
  // outside the flip.
  svg += "<g transform=\"matrix(1 0 0 -1 0 " + Decimal(W, 3) + ")\">\n";
  Rect(svg, "sheet", drawing.sheet);
  for (const Box& strip : drawing.margins) Rect(svg, "margin", strip);
  std::string bleeds;  // one path for all bleeds keeps a page of 5,000 pieces small
  for (const Piece& piece : drawing.pieces) {
    const Box& b = piece.bled;
    if (b.length == piece.trim.length) continue;
    bleeds.append("M").append(Decimal(b.x, 3)).append(" ").append(Decimal(b.y, 3));
    bleeds.append("h").append(Decimal(b.length, 3)).append("v").append(Decimal(b.width, 3));
    bleeds.append("h").append(Decimal(-b.length, 3)).append("z");
  }
  if (!bleeds.empty()) svg += "<path class=\"bleed\" d=\"" + bleeds + "\"/>\n";
  for (const Piece& piece : drawing.pieces) Rect(svg, piece_class("piece", piece.kind), piece.trim);
  for (std::size_t i = 0; i < drawing.blocks.size(); ++i) {
    Rect(svg, "block", drawing.blocks[i].box,
         " fill=\"url(#" + labels.id_prefix + "-block-" + std::to_string(i) + ")\"");
  }
  Line(svg, "gripper", 0, 0, L, 0);
  for (const CutLine& cut : drawing.cuts) Line(svg, "cut", cut.x1, cut.y1, cut.x2, cut.y2);
  svg += "</g>\n";

  // Dimensions: the sheet's length above it, its width to the left, the gripper below.
  Line(svg, "dim", 0, -font, L, -font);
  Text(svg, "dim-text", L / 2, -1.4 * font, font, labels.locale.Length(labels.sheet.length));
  Line(svg, "dim", -font, 0, -font, W);
  const std::string rotate =
      " transform=\"rotate(-90 " + Decimal(-1.4 * font, 3) + " " + Decimal(W / 2, 3) + ")\"";
  Text(svg, "dim-text", -1.4 * font, W / 2, font, labels.locale.Length(labels.sheet.width), rotate);
  Text(svg, "gripper-text", L / 2, W + 1.8 * font, font,
       GripperText(labels.gripper, labels.locale));
  // Each kind's label in its first piece.
  std::vector<bool> labelled(labels.piece_labels.size());
  for (const Piece& piece : drawing.pieces) {
    const auto kind = static_cast<std::size_t>(piece.kind);
    if (kind >= labelled.size() || labelled[kind]) continue;
    labelled[kind] = true;
    const Box& first = piece.trim;
    if (LabelFits(first.length, first.width, labels.piece_labels[kind], font)) {
      Text(svg, "piece-text", first.x + first.length / 2, W - first.y - first.width / 2 + font / 3,
           font, EscapeHtmlAttribute(labels.piece_labels[kind]));
    }
  }
  for (const BlockBox& block : drawing.blocks) {
    const std::string count = std::to_string(block.columns) + " × " + std::to_string(block.rows);
    if (!LabelFits(block.box.length, block.box.width, count, font)) continue;
    Text(svg, "block-text", block.box.x + block.box.length / 2,
         W - block.box.y - block.box.width / 2 + font / 3, font, count);
  }
  if (drawing.cuts.size() <= kMaxNumberedCuts) {
    for (const CutLine& cut : drawing.cuts) {
      Text(svg, "cut-no", (cut.x1 + cut.x2) / 2, W - (cut.y1 + cut.y2) / 2 + font / 3, font * 0.9,
           std::to_string(cut.number));
    }
  }
  if (!labels.legend.empty()) {
    svg += "<g class=\"legend\">\n";
    for (std::size_t i = 0; i < labels.legend.size(); ++i) {
      const double x = static_cast<double>(i % per_line) * entry_width;
      const double y = legend_top + 1.6 * font * static_cast<double>(i / per_line);
      Rect(svg, piece_class("swatch", labels.legend[i].kind), {x, y, 1.6 * font, 1.1 * font});
      svg.append("<text class=\"legend-text\"");
      Attribute(svg, "x", x + 2 * font);
      Attribute(svg, "y", y + 0.95 * font);
      Attribute(svg, "font-size", font);
      svg.append(">").append(EscapeHtmlAttribute(labels.legend[i].text)).append("</text>\n");
    }
    svg += "</g>\n";
  }
  svg += "</svg>\n";
  return svg;
}

std::string PlanSvg(const layout::Request& request, const layout::Answer& answer,
                    const Locale& locale, bool standalone) {
  return DrawingSvg(DrawingOf(request, answer), PlanLabels(request, answer, locale), standalone);
}

}  // namespace sheetora::planner
