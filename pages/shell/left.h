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
  /// Writes a subkey of the cookie "PinBan", escaped for the value attribute it sits in.
  void WriteRememberedSize(std::string_view subkey) const;
};

}  // namespace sheetora
