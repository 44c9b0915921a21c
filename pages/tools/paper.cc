#include "pages/tools/paper.h"

#include <string>
#include <string_view>

#include "pages/page_head.h"
#include "runtime/errors.h"

namespace sheetora {
namespace {

/// The parts of text between every separator; no text gives no parts at all.
std::vector<Value> Split(std::string_view text, char separator) {
  std::vector<Value> parts;
  if (text.empty()) return parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

const Value& Element(const std::vector<Value>& array, std::size_t index) {
  if (index >= array.size()) throw RuntimeError::SubscriptOutOfRange();
  return array[index];
}

}  // namespace

void Class60::AllTORVA() try {
  WriteIncludedFuc();
  Write("\r\n");
  std::string title = "纸张克重价格换算工具--";
  title.append(kProductTitle);
  Write(StandardHead({.title = title}));

  PaperWeight = FormItem("PaperWeight");
  PaperSpec = FormItem("PaperSpec");
  CustomL = FormItem("CustomL");
  CustomW = FormItem("CustomW");

  if (PaperSpec == Value("0")) {
    PaperL = CustomL;
    PaperW = CustomW;
  } else {
    sPaperSpec = Split(PaperSpec.Text(), '*');
    PaperL = Element(sPaperSpec, 0);
    PaperW = Element(sPaperSpec, 1);
  }

  // The order of the operations fixes the last digits of what the rows show.
  PaperM2 = (PaperL * PaperW) / Value(1000000);
  KgPerReam = ((PaperM2 * Value(500)) * PaperWeight) / Value(1000);
  ReamPerTon = Value(1000) / KgPerReam;
  // Beyond the 32-bit range UpNum logs its own overflow and leaves the count empty.
  PiecePerTon = UpNum(ReamPerTon * Value(500));

  PPriceType = FormItem("PPriceType");
  PaperPrice = FormItem(PPriceType.Text());

  // The given price keeps the posted text, so its row shows the price as typed.
  if (PPriceType == Value("M2Price")) {
    M2Price = PaperPrice;
    PiecePrice = PaperPrice * PaperM2;
    ReamPrice = PiecePrice * Value(500);
    TonPrice = ReamPrice * ReamPerTon;
  } else if (PPriceType == Value("PiecePrice")) {
    PiecePrice = PaperPrice;
    M2Price = PiecePrice / PaperM2;
    ReamPrice = PiecePrice * Value(500);
    TonPrice = ReamPrice * ReamPerTon;
  } else if (PPriceType == Value("ReamPrice")) {
    ReamPrice = PaperPrice;
    PiecePrice = ReamPrice / Value(500);
    M2Price = PiecePrice / PaperM2;
    TonPrice = ReamPrice * ReamPerTon;
  } else if (PPriceType == Value("TonPrice")) {
    TonPrice = PaperPrice;
    ReamPrice = TonPrice / ReamPerTon;
    PiecePrice = ReamPrice / Value(500);
    M2Price = PiecePrice / PaperM2;
  }

  // The given price is posted text written back into the page, so value cells are escaped. Text
  // that got through the arithmetic holds only digits, signs, points, exponents and blanks, so the
  // price still reads exactly as typed.
  const auto row = [this](std::string_view label_cell, std::string_view label,
                          std::string_view value_cell, const Value& value) {
    Write("<tr>\r\n");
    Write(label_cell);
    Write(label);
    Write("</td>\r\n");
    Write(value_cell);
    Write(EscapeHtmlAttribute(value.Text()));
    Write("</td>\r\n</tr>\r\n");
  };
  WriteHtml(R"(
<table width="300" height="217" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
)");
  row(R"(<td width="108" align="right">)", "千克/令:", R"(<td width="186">)", KgPerReam);
  row(R"(<td align="right">)", "令/吨:", "<td>", ReamPerTon);
  row(R"(<td align="right">)", "张/吨:", "<td>", PiecePerTon);
  row(R"(<td align="right">)", "元/M<sup>2</sup>:", "<td>", M2Price);
  row(R"(<td align="right">)", "元/张:", "<td>", PiecePrice);
  row(R"(<td align="right">)", "元/令:", "<td>", ReamPrice);
  row(R"(<td align="right">)", "元/吨:", "<td>", TonPrice);
  WriteHtml(R"(</table>
</body>
</html>
)");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
