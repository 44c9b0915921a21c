// The imposed press sheet: the customer's artwork placed on every piece of a layout, as a PDF
// ready for the platemaker, with crop marks, registration targets and a slug line.
//
// Conventions, the same in every file we write for the press: a page is the press sheet, its
// width the sheet's length, no /Rotate; the origin is the page's lower-left corner, x to the
// right, y up, the gripper edge at the bottom; lengths in PostScript points (1/72 in).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "layout/gang/gang.h"
#include "layout/layout.h"

namespace sheetora::press {

/// Why an artwork or a request cannot be imposed, in plain words.
struct Refusal {
  std::string message;
};

/// What the slug line names besides the sheet, ups and side.
struct Slug {
  std::string job;   ///< printable ASCII is kept, anything else becomes '?'
  std::string date;  ///< e.g. "2026-12-07"
};

/// Largest artwork accepted, in bytes.
inline constexpr std::size_t kMaxArtworkBytes = 50 * 1024 * 1024;

/// An artwork opened and checked for a request, ready to be imposed on its layout.
class Imposition {
 public:
  /// Opens the artwork PDF. Refuses, reading no more than it must, artwork that is not a PDF, is
  /// encrypted, has no pages or more than two, a page tree that loops, too few pages for
  /// two-sided work, or a trim (TrimBox, else MediaBox less the bleed) other than the piece.
  /// `artwork` must outlive the imposition.
  static std::variant<Imposition, Refusal> Open(const layout::Request& request,
                                                std::string_view artwork);

  /// Opens a gang's artworks, `artworks[i]` the PDF of the request's item i (its page 1 is
  /// used), with the same checks; a refusal names the job.
  static std::variant<Imposition, Refusal> OpenGang(const layout::gang::GangRequest& request,
                                                    const std::vector<std::string_view>& artworks);

  /// The imposed sheet of `answer`, the engine's layout for the request: one page per printed
  /// side. Each artwork page becomes one form XObject drawn at every position, so the file stays
  /// vector and about the artwork's size.
  std::variant<std::string, Refusal> Impose(const layout::Answer& answer, const Slug& slug) const;

  /// For an imposition opened with OpenGang: one page per layout of the gang's plan, each piece
  /// taking its item's artwork.
  std::variant<std::string, Refusal> ImposeGang(const layout::gang::GangAnswer& answer,
                                                const Slug& slug) const;

  Imposition(Imposition&&) noexcept;
  Imposition& operator=(Imposition&&) noexcept;
  ~Imposition();

 private:
  struct Opened;
  explicit Imposition(std::unique_ptr<Opened> opened);
  std::unique_ptr<Opened> opened_;
};

/// Open and Impose in one.
std::variant<std::string, Refusal> ImposeSheet(const layout::Request& request,
                                               const layout::Answer& answer,
                                               std::string_view artwork, const Slug& slug);

}  // namespace sheetora::press
