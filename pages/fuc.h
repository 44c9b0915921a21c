// fuc: the shared calculation functions that the imposition and paper pages include.
#pragma once

#include "calc/layout_search.h"
#include "runtime/page.h"

namespace sheetora {

/// The shared functions as methods of every page class that includes them. They act on the
/// including page: they log under its name and draw at its scale (DrawingScale()).
class SharedFunctions : public Page {
 public:
  /// The posted field RequestItem, blanks trimmed: integer 0 when empty, the number (a double)
  /// when numeric; otherwise the input-error alert ends the page.
  Value MyRequest(const Value& RequestItem);
  /// Exchanges PPL and PPW when PPL < PPW or when CC = 1 (then even equal values).
  Value Swap(Value& PPL, Value& PPW, const Value& CC);
  /// The smallest whole number not below CNum (integer); 0 when CNum holds no number.
  Value UpNum(const Value& CNum);

  /// Four-block search at this page's drawing scale: the best layout of two columns of two blocks
  /// each, orientations alternating diagonally. `found` is reset first; after a trapped error it
  /// holds what the search had found up to the error (KNum 0 when no output was reached).
  Value PinBan(const Value& PaperL, const Value& PaperW, const Value& PL, const Value& PW,
               FourBlockResult& found);
  /// Two-block search at this page's drawing scale: an upper band of lengthwise pieces over a
  /// lower band of turned ones; `found` as for PinBan.
  Value PinBanTwo(const Value& PaperL, const Value& PaperW, const Value& PL, const Value& PW,
                  TwoBlockResult& found);
  /// Writes one block of RowNum x ColNum pieces as a grid table TabW x TabH pixels; nothing when
  /// any of the four is not above 0.
  Value DrawTab(const Value& TabW, const Value& TabH, const Value& RowNum, const Value& ColNum);

 protected:
  using Page::Page;
  /// The including page's drawing scale in pixels per millimetre; empty (so 0) unless the page
  /// has one.
  virtual Value DrawingScale() const { return {}; }
  /// DrawTab for a block that a search found.
  void DrawBlock(const LayoutBlock& block) {
    DrawTab(Value(block.TabW), Value(block.TabH), Value(block.TabRow), Value(block.TabCol));
  }
  /// What the shared functions' own page body writes where a page includes them: one line end.
  void WriteIncludedFuc() const { Write("\r\n"); }
};

/// "fuc" requested by itself: writes only the line end of the included file.
class Class55 final : public SharedFunctions {
 public:
  Class55() : SharedFunctions("fuc") {}
  void AllTORVA() override;
};

}  // namespace sheetora
