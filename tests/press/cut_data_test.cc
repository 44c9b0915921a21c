// Cut data read back: the PPF by a small reader of its own, the JDF with pugixml; the pieces
// their blocks describe compared with the layout's.
#include "press/cut_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <pugixml.hpp>
#include <sstream>

#include "layout/plan.h"
#include "press/sheet.h"
#include "tests/press/mm.h"

namespace sheetora::press {
namespace {

using layout::Micrometres;
using PtRect = std::array<double, 4>;  // x, y, length, width in points

using testing::Mm;

std::vector<double> Numbers(std::string_view text) {
  std::vector<double> numbers;
  std::istringstream in{std::string(text)};
  for (std::string word; in >> word;) {
    word.erase(
        std::remove_if(word.begin(), word.end(), [](char c) { return c == '[' || c == ']'; }),
        word.end());
    if (!word.empty() && (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-')) {
      numbers.push_back(std::stod(word));
    }
  }
  return numbers;
}

/// The elements of a block: columns x rows cells of the element size from its corner.
void AddElements(std::vector<PtRect>& out, const std::vector<double>& trf,
                 const std::vector<double>& size, const std::vector<double>& subdivision,
                 const std::vector<double>& element) {
  ASSERT_EQ(trf.size(), 6U);
  ASSERT_EQ((std::vector<double>{trf[0], trf[1], trf[2], trf[3]}),
            (std::vector<double>{1, 0, 0, 1}));
  ASSERT_EQ(subdivision.size(), 2U);
  EXPECT_NEAR(size[0], subdivision[0] * element[0], 1e-3) << "elements fill the block";
  EXPECT_NEAR(size[1], subdivision[1] * element[1], 1e-3);
  for (int i = 0; i < subdivision[0]; ++i) {
    for (int j = 0; j < subdivision[1]; ++j) {
      out.push_back({trf[4] + i * element[0], trf[5] + j * element[1], element[0], element[1]});
    }
  }
}

/// The PPF's cut blocks as pieces, read line by line as a controller would: each block's
/// entries between CIP3BeginCutBlock and CIP3EndCutBlock.
std::vector<PtRect> ReadPpf(const std::string& ppf, std::vector<double>& paper) {
  std::vector<PtRect> pieces;
  std::istringstream in(ppf);
  std::string line, last;
  std::vector<double> trf, size, subdivision, element;
  bool in_block = false, in_cut_data = false;
  std::getline(in, line);
  EXPECT_EQ(line, "%!PS-Adobe-3.0");
  std::getline(in, line);
  EXPECT_EQ(line, "%%CIP3-File Version 3.0");
  while (std::getline(in, line)) {
    last = line;
    const auto value = [&](std::string_view key) {
      return line.starts_with(key) ? Numbers(std::string_view(line).substr(key.size()))
                                   : std::vector<double>{};
    };
    if (line == "CIP3BeginCutData") in_cut_data = true;
    if (line == "CIP3EndCutData") in_cut_data = false;
    if (line == "CIP3BeginCutBlock") {
      EXPECT_TRUE(in_cut_data);
      in_block = true;
      trf = size = subdivision = element = {};
    }
    if (line.starts_with("/CIP3AdmPaperExtent")) paper = value("/CIP3AdmPaperExtent");
    if (line.starts_with("/CIP3BlockTrf")) trf = value("/CIP3BlockTrf");
    if (line.starts_with("/CIP3BlockSize")) size = value("/CIP3BlockSize");
    if (line.starts_with("/CIP3BlockSubdivision")) subdivision = value("/CIP3BlockSubdivision");
    if (line.starts_with("/CIP3BlockElementSize")) element = value("/CIP3BlockElementSize");
    if (line == "CIP3EndCutBlock") {
      EXPECT_TRUE(in_block);
      in_block = false;
      AddElements(pieces, trf, size, subdivision, element);
    }
  }
  EXPECT_EQ(last, "%%CIP3EndOfFile");
  return pieces;
}

std::vector<PtRect> ReadJdf(const std::string& jdf, std::vector<double>& paper) {
  std::vector<PtRect> pieces;
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_string(jdf.c_str()));
  const pugi::xml_node root = doc.child("JDF");
  EXPECT_STREQ(root.attribute("xmlns").value(), "http://www.CIP4.org/JDFSchema_1_1");
  EXPECT_STREQ(root.attribute("Type").value(), "Cutting");
  // Every link names a resource of the pool, as an input.
  for (const pugi::xml_node link : root.child("ResourceLinkPool").children()) {
    const std::string ref = link.attribute("rRef").value();
    EXPECT_STREQ(link.attribute("Usage").value(), "Input");
    const pugi::xml_node resource =
        root.child("ResourcePool").find_child_by_attribute("ID", ref.c_str());
    EXPECT_EQ(std::string(resource.name()) + "Link", link.name());
    EXPECT_STREQ(resource.attribute("Status").value(), "Available");
  }
  paper = Numbers(root.child("ResourcePool").child("Media").attribute("Dimension").value());
  for (const pugi::xml_node block :
       root.child("ResourcePool").child("CuttingParams").children("CutBlock")) {
    AddElements(pieces, Numbers(block.attribute("BlockTrf").value()),
                Numbers(block.attribute("BlockSize").value()),
                Numbers(block.attribute("BlockSubdivision").value()),
                Numbers(block.attribute("BlockElementSize").value()));
  }
  return pieces;
}

void ExpectSamePieces(std::vector<PtRect> read, const layout::Request& request,
                      const layout::Answer& answer) {
  std::vector<PtRect> expected;
  for (const TrimRect& r : TrimRects(request, answer.blocks)) {
    expected.push_back({Points(r.x), Points(r.y), Points(r.length), Points(r.width)});
  }
  ASSERT_EQ(read.size(), expected.size());
  // Corners compared to a hundredth of a point: the file's rounding must not reorder them.
  const auto by_corner = [](const PtRect& a, const PtRect& b) {
    return std::pair{std::lround(a[0] * 100), std::lround(a[1] * 100)} <
           std::pair{std::lround(b[0] * 100), std::lround(b[1] * 100)};
  };
  std::sort(read.begin(), read.end(), by_corner);
  std::sort(expected.begin(), expected.end(), by_corner);
  for (std::size_t i = 0; i < read.size(); ++i) {
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(read[i][k], expected[i][k], 1e-3) << "piece " << i;
  }
}

TEST(CutDataTest, PpfAndJdfBlocksAreTheLayoutsPieces) {
  const layout::Request base{.sheet = {Mm(1092), Mm(787)}, .piece = {Mm(210), Mm(140)}};
  std::vector<layout::Request> requests = {base};
  requests.push_back(base);
  requests.back().bleed = Mm(3);
  requests.back().margins = {.gripper = Mm(10), .tail = Mm(5), .left = Mm(5), .right = Mm(5)};
  requests.push_back(base);
  requests.back().piece = {Mm(88.5), Mm(54.25)};
  requests.back().gutter = Mm(2);
  requests.back().sides = layout::Sides::kWorkAndTumble;
  requests.push_back(base);
  requests.back().cut = layout::CutMode::kDie;
  requests.back().piece = {Mm(97), Mm(61)};
  for (const layout::Request& request : requests) {
    const layout::Answer answer = layout::Plan(request);
    ASSERT_GT(answer.ups, 0);
    std::vector<double> paper;
    ExpectSamePieces(ReadPpf(PpfCutData(request, answer, "job (1)"), paper), request, answer);
    ASSERT_EQ(paper.size(), 2U);
    EXPECT_NEAR(paper[0], Points(request.sheet.length), 1e-3);
    EXPECT_NEAR(paper[1], Points(request.sheet.width), 1e-3);
    ExpectSamePieces(ReadJdf(JdfCutting(request, answer, "job <1>"), paper), request, answer);
    ASSERT_EQ(paper.size(), 2U);
    EXPECT_NEAR(paper[0], Points(request.sheet.length), 1e-3);
  }
}

}  // namespace
}  // namespace sheetora::press
