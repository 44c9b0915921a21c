// Paper.asp: paper weight and price converter, the result page of the menu's paper form.
#pragma once

#include <vector>

#include "pages/fuc.h"

namespace sheetora {

/// From a grammage, a sheet size and one price in one of four units, writes the ream weight, the
/// reams and sheets per tonne and the price in every unit. A ream is 500 sheets, a tonne 1000 kg.
/// Fields are read straight from the post: an absent field counts as 0, a posted text that holds
/// no number fails the arithmetic, and any failure ends the page after its head.
class Class60 final : public SharedFunctions {
 public:
  Class60() : SharedFunctions("Paper") {}
  void AllTORVA() override;

  Value PaperWeight;  // grammage, g/m², as posted
  Value PaperSpec;    // sheet-size choice: "L*W" in mm, or "0" for the custom size
  Value CustomL;      // custom sheet size in mm, as posted
  Value CustomW;
  Value PaperL;  // the sheet size used, mm (text)
  Value PaperW;
  std::vector<Value> sPaperSpec;  // the parts of PaperSpec split at every "*"
  Value PaperM2;                  // area of one sheet, m²
  Value KgPerReam;
  Value ReamPerTon;
  Value PiecePerTon;  // whole sheets per tonne, rounded up
  Value PPriceType;   // which price was given: "M2Price", "PiecePrice", "ReamPrice" or "TonPrice"
  Value PaperPrice;   // the given price, the posted text
  Value M2Price;      // yuan per m²
  Value PiecePrice;   // yuan per sheet
  Value ReamPrice;
  Value TonPrice;
};

}  // namespace sheetora
