// Colors.asp: RGB colour mixer; all mixing happens in the browser.
#pragma once

#include <string_view>

#include "runtime/page.h"

namespace sheetora {

/// Writes three channel selects (255 down to 0) with their swatches, the field of the mixed
/// colour with its notation, and the script that repaints them. Reads nothing from the request.
class Class53 final : public Page {
 public:
  Class53() : Page("Colors") {}
  void AllTORVA() override;

  Value i;  // counter of the option-list loops

 private:
  /// One channel's cell: its swatch table and its select, whose change calls chgColor(channel).
  void WriteChannel(std::string_view channel, std::string_view swatch_colour);
};

}  // namespace sheetora
