// Left.asp: the menu frame, five accordion sections holding the calculators' input forms.
#pragma once

#include <string_view>

#include "runtime/page.h"

namespace sheetora {

/// Writes the menu: the imposition form (pre-filled from the cookie "PinBan"), the paper and
/// spine forms, the colour and about headers, and the client script that drives them.
class Class58 final : public Page {
 public:
  Class58() : Page("Left") {}
  void AllTORVA() override;

 private:
  /// Writes the text box of one remembered size, filled from the cookie "PinBan" (escaped).
  void WriteSizeInput(std::string_view subkey) const;
};

}  // namespace sheetora
