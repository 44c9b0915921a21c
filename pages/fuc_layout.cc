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

// An improvement cut short before its first output leaves no layout, whatever it counted.
template <typename Found>
void ThrowIfFailed(Found& found) {
  if (found.written == 0) found.KNum = 0;
  if (found.error) throw *found.error;
}

}  // namespace

Value SharedFunctions::PinBan(const Value& PaperL, const Value& PaperW, const Value& PL,
                              const Value& PW, FourBlockResult& found) try {
  found = {};
  // The sheet's width and the piece's width are first read by the loop over heights, which runs
  // only when the loop over column widths does.
  LayoutSizes sizes{PaperL.ToDouble(), 0, PL.ToDouble(), 0};
  if (!LoopRuns(sizes.PL, sizes.PaperL, sizes.PL)) return {};
  sizes.PaperW = PaperW.ToDouble();
  sizes.PW = PW.ToDouble();
  found = SearchFourBlocks(sizes, ScaleOf(DrawingScale()));
  ThrowIfFailed(found);
  return {};
} catch (const std::exception& e) {
  Trap("PinBan", e);
  return {};
}

Value SharedFunctions::PinBanTwo(const Value& PaperL, const Value& PaperW, const Value& PL,
                                 const Value& PW, TwoBlockResult& found) try {
  found = {};
  // The sheet's length and the piece's length are first read inside the loop over heights.
  LayoutSizes sizes{0, PaperW.ToDouble(), 0, PW.ToDouble()};
  if (!LoopRuns(sizes.PW, sizes.PaperW, sizes.PW)) return {};
  sizes.PaperL = PaperL.ToDouble();
  sizes.PL = PL.ToDouble();
  found = SearchTwoBlocks(sizes, ScaleOf(DrawingScale()));
  ThrowIfFailed(found);
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
  const std::string width = TabW.Text(), height = TabH.Text();
  static constexpr std::string_view kHeadParts[] = {
      "<table width=", " height=", " border=0 cellpadding=0 cellspacing=1 bgcolor=#333333 title=",
      ">\r\n"};
  double head_bytes = static_cast<double>(width.size() + height.size() + tooltip.size());
  for (const std::string_view part : kHeadParts) head_bytes += static_cast<double>(part.size());
  const double row_bytes = static_cast<double>(kRowStart.size() + kRowEnd.size()) +
                           std::max(cols, 0.0) * static_cast<double>(kCell.size());
  const double bytes = head_bytes + std::max(rows, 0.0) * row_bytes + 10;
  if (bytes > kMaxTableBytes) throw RuntimeError(7, "Out of memory");
  // Written straight into the response, one row at a time.
  Write(kHeadParts[0]);
  Write(width);
  Write(kHeadParts[1]);
  Write(height);
  Write(kHeadParts[2]);
  Write(tooltip);
  Write(kHeadParts[3]);
  std::string row;
  row.reserve(static_cast<std::size_t>(row_bytes));
  row.append(kRowStart);
  for (double c = 1; c <= cols; ++c) row.append(kCell);
  row.append(kRowEnd);
  for (double r = 1; r <= rows; ++r) Write(row);
  Write("</table>\r\n");
  return {};
} catch (const std::exception& e) {
  Trap("DrawTab", e);
  return {};
}

}  // namespace sheetora
