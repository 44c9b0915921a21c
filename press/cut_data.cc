#include "press/cut_data.h"

#include <pugixml.hpp>
#include <sstream>
#include <variant>

#include "layout/answer_cache.h"
#include "layout/json.h"
#include "press/sheet.h"

namespace sheetora::press {
namespace {

using layout::Micrometres;

std::string Pt(Micrometres length) { return Num(Points(length)); }

std::string Pair(Micrometres a, Micrometres b) { return Pt(a) + " " + Pt(b); }
std::string Pair(std::int64_t a, std::int64_t b, bool) {
  return std::to_string(a) + " " + std::to_string(b);
}

}  // namespace

std::vector<CutBlock> CutBlocks(const layout::Request& request, const layout::Answer& answer) {
  std::vector<CutBlock> blocks;
  const bool abutting = request.bleed == 0 && request.gutter == 0;
  for (std::size_t b = 0; b < answer.blocks.size(); ++b) {
    const layout::Block& block = answer.blocks[b];
    const std::vector<TrimRect> trims = TrimRects(request, {block});
    if (trims.empty()) continue;
    const Micrometres along_x = trims[0].length, along_y = trims[0].width;
    const std::string name = "Block " + std::to_string(b + 1);
    if (abutting) {
      blocks.push_back({.name = name,
                        .x = block.x,
                        .y = block.y,
                        .length = block.columns * along_x,
                        .width = block.rows * along_y,
                        .columns = block.columns,
                        .rows = block.rows,
                        .element_length = along_x,
                        .element_width = along_y});
      continue;
    }
    for (std::size_t i = 0; i < trims.size(); ++i) {
      blocks.push_back({.name = name + "." + std::to_string(i + 1),
                        .x = trims[i].x,
                        .y = trims[i].y,
                        .length = along_x,
                        .width = along_y,
                        .element_length = along_x,
                        .element_width = along_y});
    }
  }
  return blocks;
}

// PPF is PostScript text, which no XML or other kept library writes; its few lines are
// written here, every string through PsString.
std::string PpfCutData(const layout::Request& request, const layout::Answer& answer,
                       std::string_view job_name) {
  std::ostringstream out;
  const std::string extent = Pair(request.sheet.length, request.sheet.width);
  out << "%!PS-Adobe-3.0\n%%CIP3-File Version 3.0\n"
      << "% Origin at the sheet's lower-left corner, x along the sheet's length, y up, the\n"
      << "% gripper edge at the bottom, side lay at the left; lengths in points.\n"
      << "CIP3BeginSheet\n"
      << "/CIP3AdmJobName " << PsString(job_name) << " def\n"
      << "/CIP3AdmSoftware (Sheetora job planner) def\n"
      << "/CIP3AdmPSExtent [" << extent << "] def\n"
      << "/CIP3AdmPaperExtent [" << extent << "] def\n"
      << "/CIP3AdmPaperTrf [1 0 0 1 0 0] def\n"
      << "/CIP3AdmSheetLay /Left def\n"
      << "CIP3BeginFront\nCIP3BeginCutData\n";
  for (const CutBlock& b : CutBlocks(request, answer)) {
    out << "CIP3BeginCutBlock\n"
        << "/CIP3BlockTrf [1 0 0 1 " << Pair(b.x, b.y) << "] def\n"
        << "/CIP3BlockSize [" << Pair(b.length, b.width) << "] def\n"
        << "/CIP3BlockSubdivision [" << Pair(b.columns, b.rows, true) << "] def\n"
        << "/CIP3BlockElementSize [" << Pair(b.element_length, b.element_width) << "] def\n"
        << "/CIP3BlockElementType /CutElement def\n"
        << "/CIP3BlockType /CutBlock def\n"
        << "/CIP3BlockName " << PsString(b.name) << " def\n"
        << "CIP3EndCutBlock\n";
  }
  out << "CIP3EndCutData\nCIP3EndFront\nCIP3EndSheet\n%%CIP3EndOfFile\n";
  return out.str();
}

std::string JdfCutting(const layout::Request& request, const layout::Answer& answer,
                       std::string_view job_name) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  doc.append_child(pugi::node_comment)
      .set_value(
          " Origin at the sheet's lower-left corner, x along the sheet's length, y up, the "
          "gripper edge at the bottom; lengths in points. ");
  pugi::xml_node jdf = doc.append_child("JDF");
  jdf.append_attribute("xmlns") = "http://www.CIP4.org/JDFSchema_1_1";
  jdf.append_attribute("Type") = "Cutting";
  jdf.append_attribute("ID") = "Cutting1";
  jdf.append_attribute("JobID") = std::string(job_name).c_str();
  jdf.append_attribute("DescriptiveName") = std::string(job_name).c_str();
  jdf.append_attribute("Status") = "Waiting";
  jdf.append_attribute("Version") = "1.4";
  pugi::xml_node pool = jdf.append_child("ResourcePool");
  pugi::xml_node params = pool.append_child("CuttingParams");
  params.append_attribute("Class") = "Parameter";
  params.append_attribute("ID") = "CuttingParams1";
  params.append_attribute("Status") = "Available";
  for (const CutBlock& b : CutBlocks(request, answer)) {
    pugi::xml_node block = params.append_child("CutBlock");
    block.append_attribute("BlockName") = b.name.c_str();
    block.append_attribute("BlockType") = "CutBlock";
    block.append_attribute("BlockSize") = Pair(b.length, b.width).c_str();
    block.append_attribute("BlockTrf") = ("1 0 0 1 " + Pair(b.x, b.y)).c_str();
    block.append_attribute("BlockSubdivision") = Pair(b.columns, b.rows, true).c_str();
    block.append_attribute("BlockElementSize") = Pair(b.element_length, b.element_width).c_str();
    block.append_attribute("BlockElementType") = "CutElement";
  }
  pugi::xml_node media = pool.append_child("Media");
  media.append_attribute("Class") = "Consumable";
  media.append_attribute("ID") = "Media1";
  media.append_attribute("Status") = "Available";
  media.append_attribute("MediaType") = "Paper";
  media.append_attribute("Dimension") = Pair(request.sheet.length, request.sheet.width).c_str();
  pugi::xml_node links = jdf.append_child("ResourceLinkPool");
  for (const auto& [link, ref] :
       {std::pair{"CuttingParamsLink", "CuttingParams1"}, std::pair{"MediaLink", "Media1"}}) {
    pugi::xml_node node = links.append_child(link);
    node.append_attribute("rRef") = ref;
    node.append_attribute("Usage") = "Input";
  }
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

layout::ApiAnswer CutDataForRequest(std::string_view format, std::string_view body) {
  if (body.size() > layout::kMaxRequestBytes) return layout::TooLargeAnswer();
  const auto parsed = layout::ParseRequest(body);
  if (const auto* error = std::get_if<layout::RequestError>(&parsed)) {
    return {.status = 400, .body = layout::ErrorJson(*error)};
  }
  const layout::Request& request = std::get<layout::Request>(parsed);
  const layout::Answer answer = layout::PlanOnce(request);
  return {.body = format == "ppf" ? PpfCutData(request, answer, "layout")
                                  : JdfCutting(request, answer, "layout")};
}

}  // namespace sheetora::press
