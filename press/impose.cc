#include "press/impose.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <utility>
#include <vector>

#include "press/sheet.h"

namespace sheetora::press {
namespace {

using layout::Micrometres;
using Rectangle = QPDFObjectHandle::Rectangle;

constexpr Micrometres kMm = layout::kMicrometresPerMm;
constexpr Micrometres kCropOffset = 3 * kMm;   // least distance of a crop mark from the trim
constexpr Micrometres kBeyondBleed = kMm / 2;  // and at least this far beyond the bleed
constexpr Micrometres kCropLength = 5 * kMm;
constexpr Micrometres kTargetRadius = 3 * kMm;
constexpr Micrometres kTargetArm = 4 * kMm;
constexpr Micrometres kTargetStrip = 10 * kMm;        // least margin that holds a target
constexpr Micrometres kSlugStrip = 3 * kMm;           // least tail margin that holds the slug
constexpr double kSizeTolerancePt = 72.0 / 25.4 / 2;  // half a millimetre
constexpr int kMaxPageTreeNodes = 64;
constexpr int kMaxArtworkPages = 2;

std::string Pt(Micrometres length) { return Num(Points(length)); }

/// The artwork opened: the document and its pages, found by a bounded walk of the page tree.
struct Artwork {
  std::unique_ptr<QPDF> pdf = std::make_unique<QPDF>();
  std::vector<QPDFObjectHandle> pages;
};

/// The pages of the tree under `root`, at most kMaxArtworkPages + 1 of them: a tree of ten
/// thousand pages is refused after its third, and a loop on its first repeat.
std::variant<std::vector<QPDFObjectHandle>, Refusal> WalkPages(const QPDFObjectHandle& root) {
  std::vector<QPDFObjectHandle> pages, waiting = {root};
  std::set<QPDFObjGen> seen;
  for (int visited = 0; !waiting.empty(); ++visited) {
    QPDFObjectHandle node = waiting.back();
    waiting.pop_back();
    if (visited >= kMaxPageTreeNodes) return Refusal{"the artwork's page tree is too large"};
    if (!node.isDictionary()) return Refusal{"the artwork's page tree is broken"};
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second) {
      return Refusal{"the artwork's page tree loops"};
    }
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (!kids.isArray()) {
      pages.push_back(node);
      if (pages.size() > kMaxArtworkPages) {
        return Refusal{"the artwork has more than 2 pages (a front and a back)"};
      }
      continue;
    }
    for (int i = kids.getArrayNItems(); i-- > 0;) waiting.push_back(kids.getArrayItem(i));
  }
  // Inherited attributes are looked up through /Parent: that chain must end too.
  for (const QPDFObjectHandle& page : pages) {
    std::set<QPDFObjGen> up;
    QPDFObjectHandle node = page;
    for (int depth = 0; node.isDictionary(); ++depth, node = node.getKey("/Parent")) {
      if (depth >= kMaxPageTreeNodes ||
          (node.isIndirect() && !up.insert(node.getObjGen()).second)) {
        return Refusal{"the artwork's page tree loops"};
      }
    }
  }
  if (pages.empty()) return Refusal{"the artwork has no pages"};
  return pages;
}

std::variant<Artwork, Refusal> OpenArtwork(std::string_view bytes) {
  if (bytes.size() > kMaxArtworkBytes) return Refusal{"the artwork is larger than 50 MiB"};
  if (bytes.substr(0, 1024).find("%PDF-") == std::string_view::npos) {
    return Refusal{"the artwork is not a PDF"};
  }
  Artwork artwork;
  try {
    artwork.pdf->setSuppressWarnings(true);
    // A damaged file is refused rather than rebuilt by scanning every byte of it.
    artwork.pdf->setAttemptRecovery(false);
    artwork.pdf->processMemoryFile("artwork", bytes.data(), bytes.size());
    if (artwork.pdf->isEncrypted()) return Refusal{"the artwork is encrypted"};
    auto walked = WalkPages(artwork.pdf->getRoot().getKey("/Pages"));
    if (auto* refusal = std::get_if<Refusal>(&walked)) return std::move(*refusal);
    artwork.pages = std::get<std::vector<QPDFObjectHandle>>(std::move(walked));
  } catch (const QPDFExc& e) {
    if (e.getErrorCode() == qpdf_e_password) return Refusal{"the artwork is encrypted"};
    return Refusal{"the artwork is not a readable PDF"};
  } catch (const std::exception&) {
    return Refusal{"the artwork is not a readable PDF"};
  }
  return artwork;
}

/// One artwork page as a form XObject, with its trim box as it shows (after the page's own
/// /Rotate and /UserUnit).
struct ArtworkForm {
  QPDFObjectHandle form;
  Rectangle trim;
};

std::variant<ArtworkForm, Refusal> FormOf(QPDFObjectHandle page, int number,
                                          const layout::Request& request) {
  QPDFPageObjectHelper helper(page);
  QPDFObjectHandle media = helper.getMediaBox();
  const std::string which = "page " + std::to_string(number) + " of the artwork";
  if (!media.isRectangle()) return Refusal{which + " has no media box"};
  const Rectangle media_box = media.getArrayAsRectangle();
  Rectangle trim;
  if (QPDFObjectHandle box = page.getKey("/TrimBox"); box.isRectangle()) {
    trim = box.getArrayAsRectangle();
  } else {
    const double bleed = Points(request.bleed);
    trim = Rectangle(media_box.llx + bleed, media_box.lly + bleed, media_box.urx - bleed,
                     media_box.ury - bleed);
  }
  ArtworkForm art{
      .form = helper.getFormXObjectForPage(true),
      .trim = QPDFMatrix(helper.getMatrixForTransformations()).transformRectangle(trim)};
  // The whole page, bleed included: each placement clips it to its own bled rectangle.
  art.form.getDict().replaceKey("/BBox", QPDFObjectHandle::newFromRectangle(media_box));
  const double width = art.trim.urx - art.trim.llx, height = art.trim.ury - art.trim.lly;
  const double length_pt = Points(request.piece.length), width_pt = Points(request.piece.width);
  if (std::fabs(width - length_pt) > kSizeTolerancePt ||
      std::fabs(height - width_pt) > kSizeTolerancePt) {
    return Refusal{which + "'s trim is " + Num(width * 25.4 / 72) + " x " +
                   Num(height * 25.4 / 72) + " mm; the piece is " +
                   Num(static_cast<double>(request.piece.length) / kMm) + " x " +
                   Num(static_cast<double>(request.piece.width) / kMm) + " mm"};
  }
  return art;
}

/// The matrix that turns the artwork `quarter_turns` quarters counter-clockwise and puts its
/// trim box's centre on the centre of `trim`.
std::string PlacementMatrix(const Rectangle& art, const TrimRect& trim, int quarter_turns) {
  static constexpr int kCos[] = {1, 0, -1, 0}, kSin[] = {0, 1, 0, -1};
  const int c = kCos[quarter_turns & 3], s = kSin[quarter_turns & 3];
  const double ax = (art.llx + art.urx) / 2, ay = (art.lly + art.ury) / 2;
  const double tx = Points(trim.x + trim.x_end()) / 2, ty = Points(trim.y + trim.y_end()) / 2;
  return std::to_string(c) + " " + std::to_string(s) + " " + std::to_string(-s) + " " +
         std::to_string(c) + " " + Num(tx - (c * ax - s * ay)) + " " + Num(ty - (s * ax + c * ay)) +
         " cm";
}

/// The bled rectangles of one side, sorted by their left edge, for finding those near a mark.
class BledIndex {
 public:
  explicit BledIndex(std::vector<TrimRect> rects) : rects_(std::move(rects)) {
    std::sort(rects_.begin(), rects_.end(),
              [](const TrimRect& a, const TrimRect& b) { return a.x < b.x; });
    for (const TrimRect& r : rects_) widest_ = std::max(widest_, r.length);
  }

  /// The parts of the segment from `a` to `b` (a < b) on the line `at`, horizontal when
  /// `along_x`, that lie inside no bled rectangle.
  std::vector<std::pair<Micrometres, Micrometres>> Outside(Micrometres a, Micrometres b,
                                                           Micrometres at, bool along_x) const {
    std::vector<std::pair<Micrometres, Micrometres>> parts = {{a, b}};
    const Micrometres x_low = along_x ? a : at, x_high = along_x ? b : at;
    auto it = std::lower_bound(rects_.begin(), rects_.end(), x_low - widest_,
                               [](const TrimRect& r, Micrometres x) { return r.x < x; });
    for (; it != rects_.end() && it->x < x_high + 1; ++it) {
      const TrimRect& r = *it;
      const Micrometres across0 = along_x ? r.y : r.x, across1 = along_x ? r.y_end() : r.x_end();
      if (!(across0 < at && at < across1)) continue;
      const Micrometres from = along_x ? r.x : r.y, to = along_x ? r.x_end() : r.y_end();
      std::vector<std::pair<Micrometres, Micrometres>> kept;
      for (const auto& [p, q] : parts) {
        if (to <= p || from >= q) {
          kept.emplace_back(p, q);
          continue;
        }
        if (p < from) kept.emplace_back(p, from);
        if (to < q) kept.emplace_back(to, q);
      }
      parts = std::move(kept);
    }
    return parts;
  }

 private:
  std::vector<TrimRect> rects_;
  Micrometres widest_ = 0;
};

/// Crop marks at every trim corner, along the trim's edges beyond the corner, leaving out
/// whatever would lie on a bled rectangle (a neighbour's, when pieces sit close) or off the sheet.
void AppendCropMarks(std::string& content, const layout::Request& request,
                     const std::vector<Placement>& placements) {
  std::vector<TrimRect> bled;
  for (const Placement& p : placements) bled.push_back(Bled(p.trim, p.bleed));
  const BledIndex index(std::move(bled));
  const Micrometres sheet_x = request.sheet.length, sheet_y = request.sheet.width;
  const auto line = [&](Micrometres a, Micrometres b, Micrometres at, bool along_x) {
    const Micrometres high = along_x ? sheet_x : sheet_y;
    for (auto [p, q] : index.Outside(std::min(a, b), std::max(a, b), at, along_x)) {
      p = std::clamp<Micrometres>(p, 0, high), q = std::clamp<Micrometres>(q, 0, high);
      if (q <= p) continue;
      if (along_x) {
        content += Pt(p) + " " + Pt(at) + " m " + Pt(q) + " " + Pt(at) + " l S\n";
      } else {
        content += Pt(at) + " " + Pt(p) + " m " + Pt(at) + " " + Pt(q) + " l S\n";
      }
    }
  };
  for (const Placement& p : placements) {
    const Micrometres offset = std::max(kCropOffset, p.bleed + kBeyondBleed);
    for (const auto& [cx, dx] : {std::pair{p.trim.x, -1}, std::pair{p.trim.x_end(), 1}}) {
      for (const auto& [cy, dy] : {std::pair{p.trim.y, -1}, std::pair{p.trim.y_end(), 1}}) {
        line(cx + dx * offset, cx + dx * (offset + kCropLength), cy, true);
        line(cy + dy * offset, cy + dy * (offset + kCropLength), cx, false);
      }
    }
  }
}

void AppendTarget(std::string& content, Micrometres x, Micrometres y) {
  const double cx = Points(x), cy = Points(y), r = Points(kTargetRadius), k = 0.5523 * r;
  content += Num(cx + r) + " " + Num(cy) + " m ";
  // Four quarter arcs, counter-clockwise from the right.
  const double pts[4][6] = {{cx + r, cy + k, cx + k, cy + r, cx, cy + r},
                            {cx - k, cy + r, cx - r, cy + k, cx - r, cy},
                            {cx - r, cy - k, cx - k, cy - r, cx, cy - r},
                            {cx + k, cy - r, cx + r, cy - k, cx + r, cy}};
  for (const auto& arc : pts) {
    for (const double v : arc) content += Num(v) + " ";
    content += "c ";
  }
  content += "S\n";
  const double arm = Points(kTargetArm);
  content += Num(cx - arm) + " " + Num(cy) + " m " + Num(cx + arm) + " " + Num(cy) + " l S\n";
  content += Num(cx) + " " + Num(cy - arm) + " m " + Num(cx) + " " + Num(cy + arm) + " l S\n";
}

std::string MmText(Micrometres length) { return Num(static_cast<double>(length) / kMm); }

/// Registration targets at the middle of the tail and side margins that hold one, and the slug
/// line in the tail margin: outside the printable area, never in the gripper strip. `left` and
/// `right` are this side's margins (a back turned over left to right has them swapped).
void AppendMarginMarks(std::string& content, const layout::Request& request, std::int64_t ups,
                       std::string_view side, const Slug& slug, Micrometres left,
                       Micrometres right) {
  const Micrometres L = request.sheet.length, W = request.sheet.width;
  const Micrometres tail = request.margins.tail, gripper = request.margins.gripper;
  double slug_end_pt = 0;
  if (request.marks.slug && tail >= kSlugStrip) {
    const double font = std::min(7.0, Points(tail) * 0.6);
    const std::string text = slug.job + "   sheet " + MmText(L) + " x " + MmText(W) + " mm   " +
                             std::to_string(ups) + " up   " + std::string(side) + "   " + slug.date;
    const double x = Points(std::max(left, 5 * kMm)), y = Points(W - tail / 2) - font / 3;
    slug_end_pt = x + 0.6 * font * static_cast<double>(text.size());
    content += "BT /Slug " + Num(font) + " Tf " + Num(x) + " " + Num(y) + " Td " + PsString(text) +
               " Tj ET\n";
  }
  if (!request.marks.registration) return;
  const Micrometres middle_y = (gripper + W - tail) / 2;
  if (tail >= kTargetStrip && Points(L / 2 - kTargetStrip) > slug_end_pt) {
    AppendTarget(content, L / 2, W - tail / 2);
  }
  if (left >= kTargetStrip) AppendTarget(content, left / 2, middle_y);
  if (right >= kTargetStrip) AppendTarget(content, L - right / 2, middle_y);
}

/// The imposed sheets' document: every artwork page copied in once as a form XObject, drawn
/// by every placement of it on every printed side.
class SheetWriter {
 public:
  /// `forms[item][page]`, each in its own artwork's document.
  explicit SheetWriter(const std::vector<std::vector<ArtworkForm>>& forms) : forms_(forms) {
    out_.emptyPDF();
    for (auto& pages : forms_) {
      for (ArtworkForm& form : pages) form.form = out_.copyForeignObject(form.form);
    }
    registration_ = out_.makeIndirectObject(QPDFObjectHandle::parse(
        "[/Separation /All /DeviceCMYK << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] "
        "/C1 [1 1 1 1] /N 1 >>]"));
    font_ = out_.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
  }

  /// One page: `sheet` gives the sheet, its margins and the marks wanted.
  void AddSide(const layout::Request& sheet, const PrintedSide& side, std::int64_t ups,
               const Slug& slug) {
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    std::string content;
    for (const Placement& p : side.placements) {
      const ArtworkForm& art = forms_[p.item][p.artwork];
      const std::string name = "/Art" + std::to_string(p.item * kMaxArtworkPages + p.artwork + 1);
      xobjects.replaceKey(name, art.form);
      const TrimRect bled = Bled(p.trim, p.bleed);
      content += "q " + Pt(bled.x) + " " + Pt(bled.y) + " " + Pt(bled.length) + " " +
                 Pt(bled.width) + " re W n " + PlacementMatrix(art.trim, p.trim, p.quarter_turns) +
                 " " + name + " Do Q\n";
    }
    content += "q /Reg CS /Reg cs 1 SCN 1 scn 0.25 w\n";
    if (sheet.marks.crop) AppendCropMarks(content, sheet, side.placements);
    const bool swapped = side.name == "back";
    AppendMarginMarks(content, sheet, ups, side.name, slug,
                      swapped ? sheet.margins.right : sheet.margins.left,
                      swapped ? sheet.margins.left : sheet.margins.right);
    content += "Q\n";
    QPDFObjectHandle color_spaces = QPDFObjectHandle::newDictionary();
    color_spaces.replaceKey("/Reg", registration_);
    QPDFObjectHandle fonts = QPDFObjectHandle::newDictionary();
    fonts.replaceKey("/Slug", font_);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    resources.replaceKey("/ColorSpace", color_spaces);
    resources.replaceKey("/Font", fonts);
    QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page >>");
    page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle(Rectangle(
                                     0, 0, Points(sheet.sheet.length), Points(sheet.sheet.width))));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", out_.newStream(content));
    QPDFPageDocumentHelper(out_).addPage(QPDFPageObjectHelper(out_.makeIndirectObject(page)),
                                         false);
  }

  std::string Finish() {
    QPDFWriter writer(out_);
    writer.setOutputMemory();
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setDeterministicID(true);
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
  }

 private:
  QPDF out_;
  std::vector<std::vector<ArtworkForm>> forms_;
  QPDFObjectHandle registration_, font_;
};

/// The first `needed` pages of an artwork as forms for `request`'s piece.
std::variant<std::vector<ArtworkForm>, Refusal> FormsOf(const Artwork& artwork, int needed,
                                                        const layout::Request& request) {
  if (static_cast<int>(artwork.pages.size()) < needed) {
    return Refusal{"two-sided work needs two artwork pages: the front and the back"};
  }
  std::vector<ArtworkForm> forms;
  try {
    for (int i = 0; i < needed; ++i) {
      auto form = FormOf(artwork.pages[i], i + 1, request);
      if (auto* refusal = std::get_if<Refusal>(&form)) return std::move(*refusal);
      forms.push_back(std::get<ArtworkForm>(std::move(form)));
    }
  } catch (const std::exception&) {
    return Refusal{"the artwork's pages cannot be read"};
  }
  return forms;
}

}  // namespace

struct Imposition::Opened {
  layout::Request request;  ///< a gang's: its sheet, margins and marks
  std::optional<layout::gang::GangRequest> gang;
  std::vector<Artwork> artworks;                ///< by item
  std::vector<std::vector<ArtworkForm>> forms;  ///< by item, one per artwork page used
};

Imposition::Imposition(std::unique_ptr<Opened> opened) : opened_(std::move(opened)) {}
Imposition::Imposition(Imposition&&) noexcept = default;
Imposition& Imposition::operator=(Imposition&&) noexcept = default;
Imposition::~Imposition() = default;

std::variant<Imposition, Refusal> Imposition::Open(const layout::Request& request,
                                                   std::string_view artwork_bytes) {
  auto opened = OpenArtwork(artwork_bytes);
  if (auto* refusal = std::get_if<Refusal>(&opened)) return std::move(*refusal);
  auto result = std::make_unique<Opened>(Opened{.request = request});
  result->artworks.push_back(std::get<Artwork>(std::move(opened)));
  auto forms = FormsOf(result->artworks[0], ArtworkPagesNeeded(request), request);
  if (auto* refusal = std::get_if<Refusal>(&forms)) return std::move(*refusal);
  result->forms.push_back(std::get<std::vector<ArtworkForm>>(std::move(forms)));
  return Imposition(std::move(result));
}

std::variant<Imposition, Refusal> Imposition::OpenGang(
    const layout::gang::GangRequest& request, const std::vector<std::string_view>& artworks) {
  auto result =
      std::make_unique<Opened>(Opened{.request = ItemRequest(request, 0), .gang = request});
  for (std::size_t i = 0; i < request.items.size() && i < artworks.size(); ++i) {
    const std::string job = "job " + request.items[i].id + ": ";
    auto opened = OpenArtwork(artworks[i]);
    if (auto* refusal = std::get_if<Refusal>(&opened)) return Refusal{job + refusal->message};
    result->artworks.push_back(std::get<Artwork>(std::move(opened)));
    auto forms = FormsOf(result->artworks.back(), 1, ItemRequest(request, static_cast<int>(i)));
    if (auto* refusal = std::get_if<Refusal>(&forms)) return Refusal{job + refusal->message};
    result->forms.push_back(std::get<std::vector<ArtworkForm>>(std::move(forms)));
  }
  if (result->forms.size() != request.items.size()) return Refusal{"a job has no artwork"};
  return Imposition(std::move(result));
}

std::variant<std::string, Refusal> Imposition::Impose(const layout::Answer& answer,
                                                      const Slug& slug) const {
  try {
    SheetWriter writer(opened_->forms);
    for (const PrintedSide& side : PrintedSides(opened_->request, answer)) {
      writer.AddSide(opened_->request, side, answer.ups, slug);
    }
    return writer.Finish();
  } catch (const std::exception&) {
    // Content that qpdf cannot read shows only now, while copying the pages' streams.
    return Refusal{"the artwork's pages cannot be read"};
  }
}

std::variant<std::string, Refusal> Imposition::ImposeGang(const layout::gang::GangAnswer& answer,
                                                          const Slug& slug) const {
  try {
    SheetWriter writer(opened_->forms);
    for (const PrintedSide& side : GangPrintedSides(*opened_->gang, answer)) {
      writer.AddSide(opened_->request, side, static_cast<std::int64_t>(side.placements.size()),
                     slug);
    }
    return writer.Finish();
  } catch (const std::exception&) {
    return Refusal{"the artwork's pages cannot be read"};
  }
}

std::variant<std::string, Refusal> ImposeSheet(const layout::Request& request,
                                               const layout::Answer& answer,
                                               std::string_view artwork, const Slug& slug) {
  auto opened = Imposition::Open(request, artwork);
  if (auto* refusal = std::get_if<Refusal>(&opened)) return std::move(*refusal);
  return std::get<Imposition>(opened).Impose(answer, slug);
}

}  // namespace sheetora::press
