// PinBan.asp: the imposition calculator: how many pieces fit on a cut sheet, and the drawing.
#pragma once

#include <string_view>

#include "pages/fuc.h"

namespace sheetora {

/// One candidate of the most-ups mode: the sheet and piece as passed to its search, and the
/// layout that the search found.
template <typename Found>
struct LayoutSlot {
  Value PaperL, PaperW, PL, PW;
  Found found;
};
using TwoBlockSlot = LayoutSlot<TwoBlockResult>;
using FourBlockSlot = LayoutSlot<FourBlockResult>;

/// Answers the menu's imposition form: reads and checks the sizes, remembers them in the cookie
/// "PinBan", finds the arrangement of the chosen mode and writes the summary and the drawing.
/// Sizes are millimetres, drawn sizes pixels.
class Class61 final : public SharedFunctions {
 public:
  Class61() : SharedFunctions("PinBan") {}
  void AllTORVA() override;

  // The request, normalised: whole numbers, the longer side first.
  Value PaperL, PaperW;  // cut sheet
  Value PL, PW;          // finished piece
  Value BigSmall;        // drawing zoom, a double
  Value PaiLie;          // arrangement mode: "HP", "SP", "HSP" or "MaxP"
  Value FanBan;          // plate method: "2" wants even rows, "3" even columns
  Value Para;            // drawing scale, pixels per millimetre

  // The chosen layout, as the drawing reads it.
  Value LastKNum;                // ups
  Value LastPiece;               // non-empty blocks of the chosen mixed layout
  Value Pic;                     // 2 two blocks, 4 four blocks, empty a single block
  Value LastPaperL, LastPaperW;  // the sheet as the layout lies on it
  Value LastTabW, LastTabH, LastLTabRow, LastLTabCol;  // single block
  TwoBlockResult LastTwo;                              // two blocks (Pic 2)
  FourBlockResult LastFour;                            // four blocks (Pic 4)

  // Working values of the uniform modes: the grid, and the horizontal (H) and vertical (S)
  // halves of the better-of-two mode.
  Value LastTabCol, LastTabRow;
  Value LastTabColH, LastTabRowH, LastKNumH;
  Value LastTabColS, LastTabRowS, LastKNumS;

  // The most-ups mode's eight candidates, in the order they are tried.
  TwoBlockSlot T1, T2, T3, T4;
  FourBlockSlot K1, K2, K3, K4;

 protected:
  Value DrawingScale() const override { return Para; }

 private:
  // The stages of AllTORVA. They trap nothing themselves: errors belong to the entry method.
  void ReadRequest();
  bool Submitted() const;
  void CheckAndScale();
  void Arrange();
  void ArrangeGrid(const Value& along_length, const Value& along_width,
                   std::string_view cannot_arrange);
  void ArrangeEither();
  void ArrangeMost();
  void ApplyPlateMethod(Value& rows, Value& cols) const;
  void TakeSingleBlock(const Value& cols, const Value& rows, const Value& along_length,
                       const Value& along_width);
  void Try(TwoBlockSlot& slot);
  void Try(FourBlockSlot& slot);
  template <typename Found>
  bool Adopt(const LayoutSlot<Found>& slot);
  void WriteResult();
  void WriteSheet();
};

}  // namespace sheetora
