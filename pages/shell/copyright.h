// CopyRight.asp: the about page with the rights notice.
#pragma once

#include "runtime/page.h"

namespace sheetora {

/// Writes the rights notice. Unlike the other pages, copying from it is allowed.
class Class54 final : public Page {
 public:
  Class54() : Page("CopyRight") {}
  void AllTORVA() override;
};

}  // namespace sheetora
