// The layout functions of the shared functions: the two searches and the drawing of one block.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "calc/layout_search.h"
#include "pages/fuc.h"
#include "runtime/errors.h"

namespace sheetora {
namespace {

LayoutScale ScaleOf(const Value& para) {
  if (!para.IsNumeric()) return std::nullopt;
  return para.ToDouble();
}

// The page draws at most 100 x 100 cells; a table of another order of size would only exhaust
// the host's memory.
constexpr double kMaxTableBytes = 256 << 20;

struct Output {
  Value* target;
  double value;
  bool whole_number;  // a result of \ or a count of blocks, which the page holds as an integer
};

// Assigns the first `written` outputs, in the order the search assigned them.
template <std::size_t N>
void AssignOutputs(const Output (&outputs)[N], int written) {
  for (int n = 0; n < written; ++n) {
    const Output& o = outputs[n];
    *o.target = o.whole_number ? Value(static_cast<std::int32_t>(o.value)) : Value(o.value);
  }
}

}  // namespace

Value SharedFunctions::PinBan(const Value& PaperL, const Value& PaperW, const Value& PL,
                              const Value& PW, Value& KNum, Value& okax, Value& okay, Value& LTTabW,
                              Value& LTTabH, Value& LTTabCol, Value& LTTabRow, Value& LBTabW,
                              Value& LBTabH, Value& LBTabCol, Value& LBTabRow, Value& RTTabW,
                              Value& RTTabH, Value& RTTabCol, Value& RTTabRow, Value& RBTabW,
                              Value& RBTabH, Value& RBTabCol, Value& RBTabRow, Value& okPiece) try {
  KNum = Value(0);
  // The sheet's width and the piece's width are first read by the loop over heights, which runs
  // only when the loop over column widths does.
  LayoutSizes sizes{PaperL.ToDouble(), 0, PL.ToDouble(), 0};
  if (!LoopRuns(sizes.PL, sizes.PaperL, sizes.PL)) return {};
  sizes.PaperW = PaperW.ToDouble();
  sizes.PW = PW.ToDouble();
  const FourBlockResult r = SearchFourBlocks(sizes, ScaleOf(DrawingScale()));
  if (r.written > 0) KNum = Value(r.KNum);
  const Output outputs[] = {
      {&okPiece, r.okPiece, true},     {&okax, r.okax, false},
      {&okay, r.okay, false},          {&LTTabCol, r.LT.TabCol, false},
      {&LTTabRow, r.LT.TabRow, false}, {&LTTabW, r.LT.TabW, false},
      {&LTTabH, r.LT.TabH, false},     {&LBTabCol, r.LB.TabCol, true},
      {&LBTabRow, r.LB.TabRow, true},  {&LBTabW, r.LB.TabW, false},
      {&LBTabH, r.LB.TabH, false},     {&RTTabCol, r.RT.TabCol, true},
      {&RTTabRow, r.RT.TabRow, true},  {&RTTabW, r.RT.TabW, false},
      {&RTTabH, r.RT.TabH, false},     {&RBTabCol, r.RB.TabCol, true},
      {&RBTabRow, r.RB.TabRow, true},  {&RBTabW, r.RB.TabW, false},
      {&RBTabH, r.RB.TabH, false},
  };
  AssignOutputs(outputs, r.written);
  if (r.error) throw *r.error;
  return {};
} catch (const std::exception& e) {
  Trap("PinBan", e);
  return {};
}

Value SharedFunctions::PinBanTwo(const Value& PaperL, const Value& PaperW, const Value& PL,
                                 const Value& PW, Value& KNum, Value& /*okay: not used*/,
                                 Value& TopTabW, Value& TopTabH, Value& TopTabCol, Value& TopTabRow,
                                 Value& BotTabW, Value& BotTabH, Value& BotTabCol, Value& BotTabRow,
                                 Value& okPiece) try {
  KNum = Value(0);
  // The sheet's length and the piece's length are first read inside the loop over heights.
  LayoutSizes sizes{0, PaperW.ToDouble(), 0, PW.ToDouble()};
  if (!LoopRuns(sizes.PW, sizes.PaperW, sizes.PW)) return {};
  sizes.PaperL = PaperL.ToDouble();
  sizes.PL = PL.ToDouble();
  const TwoBlockResult r = SearchTwoBlocks(sizes, ScaleOf(DrawingScale()));
  if (r.written > 0) KNum = Value(r.KNum);
  const Output outputs[] = {
      {&TopTabRow, r.Top.TabRow, false}, {&TopTabCol, r.Top.TabCol, true},
      {&TopTabW, r.Top.TabW, false},     {&TopTabH, r.Top.TabH, false},
      {&BotTabRow, r.Bot.TabRow, true},  {&BotTabCol, r.Bot.TabCol, true},
      {&BotTabW, r.Bot.TabW, false},     {&BotTabH, r.Bot.TabH, false},
      {&okPiece, r.okPiece, true},
  };
  AssignOutputs(outputs, r.written);
  if (r.error) throw *r.error;
  return {};
} catch (const std::exception& e) {
  Trap("PinBanTwo", e);
  return {};
}

Value SharedFunctions::DrawTab(const Value& TabW, const Value& TabH, const Value& RowNum,
                               const Value& ColNum) try {
  // All four tests are made, so text that holds no number fails even after another test fails.
  const Value zero(0);
  const bool wide = TabW > zero;
  const bool high = TabH > zero;
  const bool rows_present = RowNum > zero;
  const bool cols_present = ColNum > zero;
  if (!(wide && high && rows_present && cols_present)) return {};

  // The tooltip compares one cell's drawn width and height. Its line end stays inside the
  // unquoted attribute, before the tag's closing ">".
  std::string tooltip;
  if (RowNum * ColNum < Value(10000)) {
    const Value cell_width = IntDiv(TabW, ColNum);
    const Value cell_height = IntDiv(TabH, RowNum);
    tooltip = cell_width > cell_height ? "横排" : "竖排";
    tooltip.append(RowNum.Text()).append("行").append(ColNum.Text()).append("列\r\n");
  }

  // Counters run 1, 2, ... while at most the count, so a fractional count draws its whole part.
  const double rows = std::floor(RowNum.ToDouble());
  const double cols = std::floor(ColNum.ToDouble());
  static constexpr std::string_view kRowStart = "<tr bgcolor=#FFFFFF>\r\n";
  static constexpr std::string_view kCell = "<td><img width=0 height=0></td>";
  static constexpr std::string_view kRowEnd = "</tr>\r\n";
  const std::string head =
      "<table width=" + TabW.Text() + " height=" + TabH.Text() +
      " border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=" + tooltip + ">\r\n";
  const double row_bytes = static_cast<double>(kRowStart.size() + kRowEnd.size()) +
                           std::max(cols, 0.0) * static_cast<double>(kCell.size());
  const double bytes = static_cast<double>(head.size()) + std::max(rows, 0.0) * row_bytes + 10;
  if (bytes > kMaxTableBytes) throw RuntimeError(7, "Out of memory");
  std::string table;
  table.reserve(static_cast<std::size_t>(bytes));
  table.append(head);
  std::string row;
  row.append(kRowStart);
  for (double c = 1; c <= cols; ++c) row.append(kCell);
  row.append(kRowEnd);
  for (double r = 1; r <= rows; ++r) table.append(row);
  table.append("</table>\r\n");
  Write(table);
  return {};
} catch (const std::exception& e) {
  Trap("DrawTab", e);
  return {};
}

}  // namespace sheetora
