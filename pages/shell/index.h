// index.asp: the frameset, the address that users open.
#pragma once

#include "runtime/page.h"

namespace sheetora {

/// Writes the two-column frameset: the menu "leftFrame" and the main frame "mainFrame".
class Class57 final : public Page {
 public:
  Class57() : Page("index") {}
  void AllTORVA() override;
};

}  // namespace sheetora
