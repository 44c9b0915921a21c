// The imposed press sheet opened again with qpdf and rendered with pdftoppm; hostile artwork
// refused through the endpoint, multipart parsing included.
#include "press/impose.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <sstream>

#include "layout/gang/gang_json.h"
#include "layout/json.h"
#include "layout/plan.h"
#include "press/impose_api.h"
#include "press/sheet.h"
#include "tests/press/mm.h"

namespace sheetora::press {
namespace {

using layout::Micrometres;

using testing::Mm;
double MmPt(double mm) { return mm * 72 / 25.4; }

struct ArtPage {
  double length_mm, width_mm;  // the trim
  double bleed_mm;
  std::array<double, 3> rgb;  // the page's colour; the head's left quarter is green
  bool trim_box = true;
};

std::string Written(QPDF& pdf, bool encrypt = false) {
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  if (encrypt)
    writer.setR6EncryptionParameters("", "owner", true, true, true, true, true, true, qpdf_r3p_full,
                                     true);
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

/// An artwork of vector fills: the bled page in its colour, and the top-left quarter of the
/// trim green, so that a turn or a mirror shows in a rendering.
std::string MakeArtwork(const std::vector<ArtPage>& pages, bool encrypt = false) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper document(pdf);
  for (const ArtPage& p : pages) {
    const double b = MmPt(p.bleed_mm), w = MmPt(p.length_mm), h = MmPt(p.width_mm);
    std::ostringstream content;
    content << p.rgb[0] << " " << p.rgb[1] << " " << p.rgb[2] << " rg 0 0 " << w + 2 * b << " "
            << h + 2 * b << " re f 0 1 0 rg " << b << " " << b + h / 2 << " " << w / 2 << " "
            << h / 2 << " re f\n";
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page /Resources << >> >>");
    page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle({0, 0, w + 2 * b, h + 2 * b}));
    if (p.trim_box) {
      page.replaceKey("/TrimBox", QPDFObjectHandle::newFromRectangle({b, b, b + w, b + h}));
    }
    page.replaceKey("/Contents", pdf.newStream(content.str()));
    document.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
  }
  return Written(pdf, encrypt);
}

constexpr std::array<double, 3> kRed = {1, 0, 0}, kBlue = {0, 0, 1};

layout::Request SmallSheet() {
  return {.sheet = {Mm(320), Mm(230)},
          .piece = {Mm(90), Mm(50)},
          .bleed = Mm(3),
          .gutter = Mm(4),
          .margins = {.gripper = Mm(12), .tail = Mm(14), .left = Mm(12), .right = Mm(12)}};
}

/// A page's content as operators with their operands.
struct Op {
  std::vector<double> numbers;
  std::string name;  // the last name operand, e.g. /Art1
  std::string op;
};

class Collect : public QPDFObjectHandle::ParserCallbacks {
 public:
  std::vector<Op> ops;
  void handleObject(QPDFObjectHandle object) override {
    if (object.isOperator()) {
      current_.op = object.getOperatorValue();
      ops.push_back(std::move(current_));
      current_ = {};
    } else if (object.isNumber()) {
      current_.numbers.push_back(object.getNumericValue());
    } else if (object.isName()) {
      current_.name = object.getName();
    } else if (object.isString()) {
      current_.name = object.getUTF8Value();
    }
  }
  void handleEOF() override {}

 private:
  Op current_;
};

struct Opened {
  std::unique_ptr<QPDF> pdf = std::make_unique<QPDF>();
  std::string bytes;
  std::vector<QPDFPageObjectHelper> pages;
};

Opened Open(std::string bytes) {
  Opened opened;
  opened.bytes = std::move(bytes);
  opened.pdf->processMemoryFile("imposed", opened.bytes.data(), opened.bytes.size());
  opened.pages = QPDFPageDocumentHelper(*opened.pdf).getAllPages();
  return opened;
}

std::vector<Op> Operators(QPDFPageObjectHelper& page) {
  Collect collect;
  page.parseContents(&collect);
  return collect.ops;
}

/// The expected matrix, from the piece's trim corner and the artwork's trim corner: upright,
/// the artwork's lower-left on the trim's; turned a quarter counter-clockwise, its upper-left.
std::array<double, 6> Expected(const Placement& p, double art_llx, double art_lly, double art_ury) {
  const double x = Points(p.trim.x), y = Points(p.trim.y);
  const double x_end = Points(p.trim.x_end()), y_end = Points(p.trim.y_end());
  switch (p.quarter_turns) {
    case 0:
      return {1, 0, 0, 1, x - art_llx, y - art_lly};
    case 1:
      return {0, 1, -1, 0, x + art_ury, y - art_llx};
    case 2:
      return {-1, 0, 0, -1, x_end + art_llx, y_end + art_lly};
    default:
      return {0, -1, 1, 0, x - art_lly, y_end + art_llx};
  }
}

bool Inside(double px, double py, const TrimRect& r) {
  return px > Points(r.x) + 1e-3 && px < Points(r.x_end()) - 1e-3 && py > Points(r.y) + 1e-3 &&
         py < Points(r.y_end()) - 1e-3;
}

/// Checks one imposed page against its side: the sheet's size, one XObject per artwork page it
/// uses, each placement's clip and matrix, and crop marks outside every bled rectangle.
/// `piece_width_mm[item]` is the width of that item's artwork trim, drawn with its placement's
/// bleed around it.
void CheckPage(QPDFPageObjectHelper& page, const layout::Request& request, const PrintedSide& side,
               const std::vector<double>& piece_width_mm) {
  const auto media = page.getMediaBox().getArrayAsRectangle();
  EXPECT_NEAR(media.urx, Points(request.sheet.length), 1e-3);
  EXPECT_NEAR(media.ury, Points(request.sheet.width), 1e-3);
  EXPECT_FALSE(page.getObjectHandle().hasKey("/Rotate"));
  std::set<std::pair<int, int>> artworks;
  for (const Placement& p : side.placements) artworks.emplace(p.item, p.artwork);
  auto xobjects = page.getObjectHandle().getKey("/Resources").getKey("/XObject");
  EXPECT_EQ(xobjects.getKeys().size(), artworks.size());
  std::vector<std::array<double, 6>> placed;
  std::vector<std::array<double, 4>> segments;
  double last_x = 0, last_y = 0;
  for (const Op& op : Operators(page)) {
    if (op.op == "cm")
      placed.push_back({op.numbers[0], op.numbers[1], op.numbers[2], op.numbers[3], op.numbers[4],
                        op.numbers[5]});
    if (op.op == "m") last_x = op.numbers[0], last_y = op.numbers[1];
    if (op.op == "l") segments.push_back({last_x, last_y, op.numbers[0], op.numbers[1]});
  }
  ASSERT_EQ(placed.size(), side.placements.size());
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const Placement& p = side.placements[i];
    const double bleed_pt = Points(p.bleed);
    const auto expected =
        Expected(p, bleed_pt, bleed_pt, bleed_pt + MmPt(piece_width_mm.at(p.item)));
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(placed[i][k], expected[k], 2e-3) << "placement " << i;
  }
  if (!request.marks.crop) return;
  std::size_t crop_marks = 0;
  for (const auto& s : segments) {
    const bool horizontal = s[1] == s[3], vertical = s[0] == s[2];
    if (!horizontal && !vertical) continue;  // a target's arms are straight too: checked alike
    ++crop_marks;
    for (const Placement& p : side.placements) {
      const TrimRect bled = Bled(p.trim, p.bleed);
      for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        EXPECT_FALSE(Inside(s[0] + t * (s[2] - s[0]), s[1] + t * (s[3] - s[1]), bled))
            << "mark " << s[0] << "," << s[1] << " - " << s[2] << "," << s[3];
      }
    }
    EXPECT_GE(std::min(s[0], s[2]), -1e-3);
    EXPECT_LE(std::max(s[0], s[2]), Points(request.sheet.length) + 1e-3);
  }
  EXPECT_GE(crop_marks, side.placements.size() * 4);
}

TEST(ImposeTest, EveryPlacementDrawsOneFormAtItsTrimAndTurn) {
  for (const layout::Sides sides : {layout::Sides::kSingle, layout::Sides::kSheetwise}) {
    for (const layout::Grain grain : {layout::Grain::kLength, layout::Grain::kWidth}) {
      layout::Request request = SmallSheet();
      request.sides = sides;
      request.grain = grain;
      const layout::Answer answer = layout::Plan(request);
      ASSERT_GT(answer.ups, 2);
      const std::string artwork = MakeArtwork({{90, 50, 3, kRed}, {90, 50, 3, kBlue}});
      auto pdf = ImposeSheet(request, answer, artwork, {.job = "job", .date = "2026-12-07"});
      ASSERT_TRUE(std::holds_alternative<std::string>(pdf)) << std::get<Refusal>(pdf).message;
      Opened opened = Open(std::get<std::string>(pdf));
      const std::vector<PrintedSide> printed = PrintedSides(request, answer);
      ASSERT_EQ(opened.pages.size(), sides == layout::Sides::kSingle ? 1U : 2U);
      for (std::size_t i = 0; i < printed.size(); ++i) {
        CheckPage(opened.pages[i], request, printed[i], {50});
      }
    }
  }
}

/// A page rendered by pdftoppm at `dpi`, as rows of RGB pixels from the top.
struct Raster {
  int width = 0, height = 0;
  std::string rgb;
  std::array<int, 3> At(double x_pt, double y_pt, int dpi) const {
    const int px = static_cast<int>(x_pt / 72 * dpi),
              py = height - 1 - static_cast<int>(y_pt / 72 * dpi);
    const std::size_t at = (static_cast<std::size_t>(py) * width + px) * 3;
    return {static_cast<unsigned char>(rgb[at]), static_cast<unsigned char>(rgb[at + 1]),
            static_cast<unsigned char>(rgb[at + 2])};
  }
};

std::vector<Raster> Render(const std::string& pdf, int dpi) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("impose_render_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "sheet.pdf", std::ios::binary) << pdf;
  const std::string command = "pdftoppm -r " + std::to_string(dpi) + " " +
                              (dir / "sheet.pdf").string() + " " + (dir / "page").string();
  EXPECT_EQ(std::system(command.c_str()), 0) << "pdftoppm must be installed";
  std::vector<Raster> pages;
  for (int n = 1; std::filesystem::exists(dir / ("page-" + std::to_string(n) + ".ppm")); ++n) {
    std::ifstream in(dir / ("page-" + std::to_string(n) + ".ppm"), std::ios::binary);
    std::string magic;
    int max = 0;
    Raster raster;
    in >> magic >> raster.width >> raster.height >> max;
    in.get();
    raster.rgb.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(magic, "P6");
    EXPECT_EQ(raster.rgb.size(), static_cast<std::size_t>(raster.width) * raster.height * 3);
    pages.push_back(std::move(raster));
  }
  std::filesystem::remove_all(dir);
  return pages;
}

std::string Colour(const std::array<int, 3>& rgb) {
  const auto high = [](int v) { return v > 160; };
  const auto low = [](int v) { return v < 90; };
  if (high(rgb[0]) && low(rgb[1]) && low(rgb[2])) return "red";
  if (low(rgb[0]) && low(rgb[1]) && high(rgb[2])) return "blue";
  if (low(rgb[0]) && high(rgb[1]) && low(rgb[2])) return "green";
  if (high(rgb[0]) && high(rgb[1]) && high(rgb[2])) return "white";
  return "other";
}

// The artwork's head-left quarter is green: seen where the placement's turn puts it, the page's
// own colour at the piece's centre, and paper white in the gutters between bled pieces.
TEST(ImposeTest, RenderingShowsEachPieceTurnedAndClipped) {
  for (const layout::Sides sides : {layout::Sides::kSheetwise, layout::Sides::kWorkAndTurn}) {
    layout::Request request = SmallSheet();
    request.grain = layout::Grain::kWidth;  // every piece turned
    request.gutter = Mm(8);
    request.sides = sides;
    const layout::Answer answer = layout::Plan(request);
    ASSERT_GT(answer.ups, 1);
    auto pdf = ImposeSheet(request, answer, MakeArtwork({{90, 50, 3, kRed}, {90, 50, 3, kBlue}}),
                           {.job = "render", .date = "2026-12-07"});
    ASSERT_TRUE(std::holds_alternative<std::string>(pdf));
    constexpr int kDpi = 36;
    const std::vector<Raster> pages = Render(std::get<std::string>(pdf), kDpi);
    const std::vector<PrintedSide> printed = PrintedSides(request, answer);
    ASSERT_EQ(pages.size(), printed.size());
    // A back lies where its front does once the sheet is turned over: the back artwork (blue,
    // its head quarter green) near the mirror image of every front's centre.
    if (sides == layout::Sides::kSheetwise) {
      for (const TrimRect& r : TrimRects(request, answer.blocks)) {
        const double mirrored_x = Points(request.sheet.length) - Points(2 * r.x + r.length) / 2;
        const double y = Points(2 * r.y + r.width) / 2;
        const std::string seen = Colour(pages[1].At(mirrored_x + Points(r.length) / 8, y, kDpi));
        EXPECT_TRUE(seen == "blue" || seen == "green") << "the back artwork, not " << seen;
        // Head to head: the front's head (its artwork's top, on these turned pieces the left
        // edge) is the right edge seen from the back, so the back's head-left quarter lies at
        // the top right of its piece.
        const double x_end = Points(request.sheet.length - r.x);
        EXPECT_EQ(Colour(pages[1].At(x_end - Points(r.length) / 4,
                                     Points(r.y + r.width) - Points(r.width) / 4, kDpi)),
                  "green");
      }
    }
    for (std::size_t n = 0; n < printed.size(); ++n) {
      for (const Placement& p : printed[n].placements) {
        const double x = Points(p.trim.x), y = Points(p.trim.y);
        const double w = Points(p.trim.length), h = Points(p.trim.width);
        const std::string own = p.artwork == 0 ? "red" : "blue";
        // The head-left quarter: upright top-left; a quarter counter-clockwise bottom-left; a
        // quarter clockwise top-right; half a turn bottom-right.
        static constexpr double kQuarter[4][2] = {
            {0.25, 0.75}, {0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}};
        const double* q = kQuarter[p.quarter_turns & 3];
        EXPECT_EQ(Colour(pages[n].At(x + q[0] * w, y + q[1] * h, kDpi)), "green")
            << "page " << n + 1 << " piece at " << x << "," << y;
        const double* o = kQuarter[(p.quarter_turns + 2) & 3];
        EXPECT_EQ(Colour(pages[n].At(x + o[0] * w, y + o[1] * h, kDpi)), own);
        // Halfway across the gutter beyond the bled edge on the right: paper.
        const double gutter_x = Points(p.trim.x_end() + request.bleed + request.gutter / 2);
        if (gutter_x < Points(request.sheet.length - request.margins.right)) {
          EXPECT_EQ(Colour(pages[n].At(gutter_x, y + h / 2, kDpi)), "white");
        }
      }
    }
  }
}

constexpr std::string_view kBoundary = "----b0undary";
constexpr std::string_view kRequestJson =
    R"({"sheet": {"length": 320, "width": 230}, "piece": {"length": 90, "width": 50},
        "bleed": 3, "gutter": 4, "margins": {"gripper": 12, "tail": 14, "left": 12, "right": 12}})";

/// A form of the request and one part per artwork, each {name, file name, PDF}.
std::string Form(std::string_view request_json,
                 const std::vector<std::array<std::string_view, 3>>& artworks) {
  std::string body;
  body.append("--").append(kBoundary).append(
      "\r\nContent-Disposition: form-data; name=\"request\"\r\n\r\n");
  body.append(request_json);
  for (const auto& [name, filename, pdf] : artworks) {
    body.append("\r\n--").append(kBoundary).append("\r\nContent-Disposition: form-data; name=\"");
    body.append(name).append("\"; filename=\"").append(filename);
    body.append("\"\r\nContent-Type: application/pdf\r\n\r\n").append(pdf);
  }
  body.append("\r\n--").append(kBoundary).append("--\r\n");
  return body;
}

std::string Body(std::string_view request_json, std::string_view artwork) {
  return Form(request_json, {{"artwork", "Spring card.pdf", artwork}});
}

ImposeAnswer Post(std::string_view request_json, std::string_view artwork) {
  return ImposeEndpoint("POST", "multipart/form-data; boundary=\"----b0undary\"",
                        Body(request_json, artwork), {}, "2026-12-07");
}

/// A document whose page tree is made by hand: `kids` page references under one /Pages node.
std::string HandMadeTree(int pages, bool loop) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFObjectHandle root_pages = pdf.getRoot().getKey("/Pages");
  QPDFObjectHandle kids = QPDFObjectHandle::newArray();
  for (int i = 0; i < pages; ++i) {
    QPDFObjectHandle page =
        QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 267.87 158.74] /Resources << >> >>");
    page.replaceKey("/Parent", root_pages);
    kids.appendItem(pdf.makeIndirectObject(page));
  }
  if (loop) kids.appendItem(root_pages);
  root_pages.replaceKey("/Kids", kids);
  root_pages.replaceKey("/Count", QPDFObjectHandle::newInteger(pages));
  QPDFWriter writer(pdf);
  writer.setOutputMemory();
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

TEST(ImposeApiTest, AnswersThePressSheetForAGoodUpload) {
  const ImposeAnswer answer = Post(kRequestJson, MakeArtwork({{90, 50, 3, kRed}}));
  ASSERT_EQ(answer.status, 200U) << answer.body;
  EXPECT_EQ(answer.content_type, "application/pdf");
  EXPECT_TRUE(answer.body.starts_with("%PDF-"));
  ASSERT_EQ(answer.headers.size(), 1U);
  EXPECT_EQ(answer.headers[0].second, "attachment; filename=\"Spring card-press-sheet.pdf\"");
  Opened opened = Open(answer.body);
  std::string slug;
  for (const Op& op : Operators(opened.pages.at(0))) {
    if (op.op == "Tj") slug = op.name;
  }
  EXPECT_EQ(
      slug,
      "Spring card   sheet 320 x 230 mm   " +
          std::to_string(
              layout::Plan(std::get<layout::Request>(layout::ParseRequest(kRequestJson))).ups) +
          " up   front   2026-12-07");
}

TEST(ImposeApiTest, RefusesBadArtworkAndBadForms) {
  const std::string good = MakeArtwork({{90, 50, 3, kRed}});
  const std::string single_page_mm = MakeArtwork({{90, 50, 0, kRed, false}});
  const struct {
    std::string name, artwork, request, error;
  } cases[] = {
      {"not a PDF", "GIF89a not a pdf", std::string(kRequestJson), "not a PDF"},
      {"truncated", good.substr(0, good.size() / 2), std::string(kRequestJson), "not a readable"},
      {"encrypted", MakeArtwork({{90, 50, 3, kRed}}, true), std::string(kRequestJson), "encrypted"},
      {"no pages", HandMadeTree(0, false), std::string(kRequestJson), "no pages"},
      {"page tree loop", HandMadeTree(1, true), std::string(kRequestJson), "loops"},
      {"10,000 pages", HandMadeTree(10'000, false), std::string(kRequestJson), "more than 2"},
      {"three pages", MakeArtwork({{90, 50, 3, kRed}, {90, 50, 3, kRed}, {90, 50, 3, kRed}}),
       std::string(kRequestJson), "more than 2"},
      {"wrong size", MakeArtwork({{50, 90, 3, kRed}}), std::string(kRequestJson), "the piece is"},
      // Without a trim box the trim is the media box less the request's 3 mm bleed.
      {"no bleed in the page", single_page_mm, std::string(kRequestJson), "the piece is"},
      {"one page for sheetwise", good,
       std::string(kRequestJson).insert(1, R"("sides": "sheetwise", )"), "two artwork pages"},
      {"bad request", good, "{\"sheet\": 1}", "sheet"},
  };
  for (const auto& c : cases) {
    const ImposeAnswer answer = Post(c.request, c.artwork);
    EXPECT_EQ(answer.status, 400U) << c.name;
    EXPECT_NE(answer.body.find(c.error), std::string::npos) << c.name << ": " << answer.body;
    EXPECT_TRUE(answer.body.starts_with("{\"error\":")) << c.name;
  }
  // The trim box wins over the media box: the same page with its trim box is taken.
  EXPECT_EQ(Post(kRequestJson, MakeArtwork({{90, 50, 0, kRed, true}})).status, 200U);
}

TEST(ImposeApiTest, ReadsOnlyWellFormedMultipartBodies) {
  const std::string artwork = MakeArtwork({{90, 50, 3, kRed}});
  const std::string body = Body(kRequestJson, artwork);
  const std::string type = "multipart/form-data; boundary=----b0undary";
  EXPECT_EQ(ImposeEndpoint("POST", type, body).status, 200U);
  EXPECT_EQ(ImposeEndpoint("GET", type, body).status, 405U);
  EXPECT_EQ(Post(std::string(65 * 1024, ' ') + std::string(kRequestJson), artwork).status, 413U)
      << "the request part keeps the planner's 64 KiB";
  EXPECT_EQ(ImposeEndpoint("POST", "application/json", body).status, 400U);
  EXPECT_EQ(ImposeEndpoint("POST", "multipart/form-data; boundary=other", body).status, 400U);
  EXPECT_EQ(ImposeEndpoint("POST", type, body.substr(0, body.size() - 30)).status, 400U)
      << "cut short before the closing delimiter";
  std::string no_artwork = body;
  no_artwork.replace(no_artwork.find("name=\"artwork\""), 14, "name=\"picture\"");
  EXPECT_NE(ImposeEndpoint("POST", type, no_artwork).body.find("no part named artwork"),
            std::string::npos);
}

constexpr std::string_view kGangJson =
    R"({"sheet": {"length": 320, "width": 230}, "bleed": 3, "gutter": 4,
        "margins": {"gripper": 12, "tail": 14, "left": 12, "right": 12},
        "items": [{"id": "card", "length": 90, "width": 50, "quantity": 900},
                  {"id": "tag", "length": 60, "width": 40, "quantity": 40, "bleed": 2}]})";

TEST(ImposeGangTest, EachLayoutTakesEveryItemsArtworkOnce) {
  const std::string card = MakeArtwork({{90, 50, 3, kRed}});
  const std::string tag = MakeArtwork({{60, 40, 2, kBlue}});
  const std::string type = "multipart/form-data; boundary=----b0undary";
  const ImposeAnswer answer = ImposeEndpoint(
      "POST", type,
      Form(kGangJson, {{"artwork.tag", "t.pdf", tag}, {"artwork.card", "c.pdf", card}}), {},
      "2026-12-07");
  ASSERT_EQ(answer.status, 200U) << answer.body;
  const auto request =
      std::get<layout::gang::GangRequest>(layout::gang::ParseGangRequest(kGangJson));
  const layout::gang::GangAnswer plan = layout::gang::Plan(request);
  const std::vector<PrintedSide> printed = GangPrintedSides(request, plan);
  ASSERT_EQ(printed.size(), plan.layouts.size());
  Opened opened = Open(answer.body);
  ASSERT_EQ(opened.pages.size(), plan.layouts.size());
  // Each item's page is one object however many layouts draw it.
  std::map<int, std::set<QPDFObjGen>> forms;
  std::set<int> items_placed;
  for (std::size_t i = 0; i < printed.size(); ++i) {
    CheckPage(opened.pages[i], ItemRequest(request, 0), printed[i], {50, 40});
    auto xobjects = opened.pages[i].getObjectHandle().getKey("/Resources").getKey("/XObject");
    for (const Placement& p : printed[i].placements) {
      items_placed.insert(p.item);
      forms[p.item].insert(xobjects.getKey("/Art" + std::to_string(p.item * 2 + 1)).getObjGen());
    }
  }
  EXPECT_EQ(items_placed, (std::set<int>{0, 1}));
  for (const auto& [item, objects] : forms) EXPECT_EQ(objects.size(), 1U) << "item " << item;

  // A job without its artwork, or artwork for no job, is refused before any planning.
  const ImposeAnswer missing =
      ImposeEndpoint("POST", type, Form(kGangJson, {{"artwork.card", "c.pdf", card}}));
  EXPECT_EQ(missing.status, 400U);
  EXPECT_NE(missing.body.find("artwork of job tag"), std::string::npos) << missing.body;
  const ImposeAnswer unknown = ImposeEndpoint("POST", type,
                                              Form(kGangJson, {{"artwork.tag", "t.pdf", tag},
                                                               {"artwork.card", "c.pdf", card},
                                                               {"artwork.flyer", "f.pdf", card}}));
  EXPECT_EQ(unknown.status, 400U);
  EXPECT_NE(unknown.body.find("artwork.flyer names no job"), std::string::npos) << unknown.body;
  const ImposeAnswer swapped = ImposeEndpoint(
      "POST", type,
      Form(kGangJson, {{"artwork.tag", "t.pdf", card}, {"artwork.card", "c.pdf", tag}}));
  EXPECT_EQ(swapped.status, 400U);
  EXPECT_NE(swapped.body.find("job card: "), std::string::npos) << swapped.body;
}

}  // namespace
}  // namespace sheetora::press
