// Main.asp: the welcome page, the main frame's first content.
#pragma once

#include "runtime/page.h"

namespace sheetora {

/// Writes the fixed help text: one paragraph per tool.
class Class59 final : public Page {
 public:
  Class59() : Page("Main") {}
  void AllTORVA() override;
};

}  // namespace sheetora
