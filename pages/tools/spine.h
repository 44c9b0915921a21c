// Spine.asp: spine thickness calculator, the result page of the menu's spine form.
#pragma once

#include "runtime/page.h"

namespace sheetora {

/// Writes a rough spine thickness, grammage x page count x 0.00135 mm. Both fields are read
/// straight from the post; either one empty or absent gives "输入错误!" instead of the table.
class Class63 final : public Page {
 public:
  Class63() : Page("Spine") {}
  void AllTORVA() override;

  Value PaperWeight;  // grammage, g/m², as posted
  Value PaperPNum;    // page count, as posted
};

}  // namespace sheetora
