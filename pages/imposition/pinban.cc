#include "pages/imposition/pinban.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "pages/page_head.h"
#include "runtime/errors.h"

namespace sheetora {
namespace {

// Printing leaves out the buttons, and keeps the table backgrounds: the grid lines of the
// drawing are the dark table background showing through the cell spacing.
constexpr std::string_view kPrintStyle = R"(<style media=print>
.noPrint{display:none;}
table{-webkit-print-color-adjust:exact;print-color-adjust:exact;}
</style>)";

// From this many ups on, the sheet shows a fixed grid instead of one cell per piece.
constexpr std::int32_t kDrawnUpsLimit = 10000;

std::chrono::sys_days LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::chrono::year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday;
}

// A share written with exactly two decimals and "%"; a zero share never shows as "-0.00".
std::string Percent(const Value& share) {
  char buf[400];  // the longest double in fixed form
  const std::to_chars_result written =
      std::to_chars(buf, buf + sizeof buf, share.ToDouble(), std::chars_format::fixed, 2);
  std::string out(buf, written.ptr);
  if (out == "-0.00") out = "0.00";
  return out + "%";
}

}  // namespace

void Class61::AllTORVA() try {
  ReadRequest();
  if (Submitted()) {
    CheckAndScale();
    Arrange();
  }
  WriteResult();
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

// Reads, checks and orders the sizes, and remembers them for the menu, whether or not a
// calculation was asked for.
void Class61::ReadRequest() {
  // The most-ups searches may take long on a large sheet with small pieces.
  SetScriptTimeout(9999);
  PaperL = MyRequest("PaperL");
  PaperW = MyRequest("PaperW");
  PL = MyRequest("PL");
  PW = MyRequest("PW");
  BigSmall = MyRequest("BigSmall");
  // The product, not each value: an even number of negative values passes.
  if (PaperL * PaperW * PL * PW * BigSmall == Value(0)) errmsg("填写错误!");
  PaperL = Int(PaperL);
  PaperW = Int(PaperW);
  PL = Int(PL);
  PW = Int(PW);
  BigSmall = Value(BigSmall.ToDouble());
  PaiLie = FormItem("PaiLie");
  FanBan = FormItem("FanBan");
  Swap(PaperL, PaperW, Value(0));
  Swap(PL, PW, Value(0));
  SetCookieSubkey("PinBan", "PaperL", PaperL);
  SetCookieSubkey("PinBan", "PaperW", PaperW);
  SetCookieSubkey("PinBan", "PL", PL);
  SetCookieSubkey("PinBan", "PW", PW);
  SetCookieExpires("PinBan", LocalToday() + std::chrono::days(360));
}

// Every button of the menu posts "Submit"; a post without it only refreshes the cookie.
bool Class61::Submitted() const { return FormItem("Submit") != Value(""); }

void Class61::CheckAndScale() {
  // Flooring may have turned a size below 1 into 0. Each size is tested on its own as well: the
  // product alone lets an even number of negative sizes through, which count nonsense and send
  // the searches over billions of steps.
  const Value zero(0);
  if (PaperL * PaperW * PL * PW * BigSmall <= zero || PaperL <= zero || PaperW <= zero ||
      PL <= zero || PW <= zero) {
    errmsg("填写有误!");
  }
  // At zoom 1 the sheet's long side is drawn 400 pixels long.
  Para = Value(400) / PaperL * BigSmall;
  if (PL > PaperL || PW > PaperW) errmsg("成品太大了!");
  LastKNum = Value(0);
}

// A value other than the four modes computes nothing: the page shows 0 ups.
void Class61::Arrange() {
  if (PaiLie == Value("HP")) {
    ArrangeGrid(PL, PW, "不能横排！");
  } else if (PaiLie == Value("SP")) {
    ArrangeGrid(PW, PL, "不能竖排！");
  } else if (PaiLie == Value("HSP")) {
    ArrangeEither();
  } else if (PaiLie == Value("MaxP")) {
    ArrangeMost();
  }
}

// One grid of pieces, each with along_length along the sheet's length. The plate-method
// messages name the horizontal arrangement for either orientation.
void Class61::ArrangeGrid(const Value& along_length, const Value& along_width,
                          std::string_view cannot_arrange) {
  LastTabCol = IntDiv(PaperL, along_length);
  LastTabRow = IntDiv(PaperW, along_width);
  ApplyPlateMethod(LastTabRow, LastTabCol);
  if (FanBan == Value("2") && LastTabRow * LastTabCol <= Value(0)) errmsg("横排不能天地翻！");
  if (FanBan == Value("3") && LastTabRow * LastTabCol <= Value(0)) errmsg("横排不能自翻版！");
  if (LastTabRow * LastTabCol <= Value(0)) errmsg(Value(cannot_arrange));
  TakeSingleBlock(LastTabCol, LastTabRow, along_length, along_width);
}

// The better of the two grids, the horizontal one on a tie; no plate-method messages.
void Class61::ArrangeEither() {
  LastTabColH = IntDiv(PaperL, PL);
  LastTabRowH = IntDiv(PaperW, PW);
  ApplyPlateMethod(LastTabRowH, LastTabColH);
  LastKNumH = LastTabRowH * LastTabColH;
  LastTabColS = IntDiv(PaperL, PW);
  LastTabRowS = IntDiv(PaperW, PL);
  ApplyPlateMethod(LastTabRowS, LastTabColS);
  LastKNumS = LastTabRowS * LastTabColS;
  if (!(LastKNumH > Value(0)) && !(LastKNumS > Value(0))) errmsg("不能开版！");
  if (LastKNumH >= LastKNumS) {
    TakeSingleBlock(LastTabColH, LastTabRowH, PL, PW);
  } else {
    TakeSingleBlock(LastTabColS, LastTabRowS, PW, PL);
  }
}

// Mixed layouts in both sheet orientations; the plate method is not consulted. The page's own
// sheet and piece are exchanged from candidate to candidate and left exchanged at the end,
// which only the products of the sizes see afterwards.
void Class61::ArrangeMost() {
  if (PW == PL) {
    // Turning a square piece changes nothing: the plain grid is the answer.
    TakeSingleBlock(IntDiv(PaperL, PL), IntDiv(PaperW, PW), PL, PW);
    return;
  }
  // The searches draw every block at the drawing scale, the longest up to the sheet's length.
  // A zoom so large that the drawn sheet leaves the number range fails here with the overflow
  // that drawing the sheet meets, instead of first taking the searches through every layout.
  if (!std::isfinite(Para.ToDouble() * PaperL.ToDouble())) throw RuntimeError::Overflow();
  const Value exchange(1);
  LastPiece = Value(0);
  Try(T1);
  Swap(PL, PW, exchange);
  Try(T2);
  Swap(PaperL, PaperW, exchange);
  Swap(PL, PW, exchange);
  Try(T3);
  Swap(PL, PW, exchange);
  Try(T4);
  Swap(PaperL, PaperW, exchange);
  Swap(PL, PW, exchange);
  Try(K1);
  Swap(PL, PW, exchange);
  Try(K2);
  Swap(PaperL, PaperW, exchange);
  Swap(PL, PW, exchange);
  Try(K3);
  Swap(PL, PW, exchange);
  Try(K4);
}

// Work-and-tumble turns the sheet over its rows and work-and-turn over its columns, so the
// count that is turned over must be even: an odd one loses its last row or column.
void Class61::ApplyPlateMethod(Value& rows, Value& cols) const {
  if (FanBan == Value("2")) {
    if (Mod(rows, Value(2)) != Value(0)) rows = rows - Value(1);
  } else if (FanBan == Value("3")) {
    if (Mod(cols, Value(2)) != Value(0)) cols = cols - Value(1);
  }
}

void Class61::TakeSingleBlock(const Value& cols, const Value& rows, const Value& along_length,
                              const Value& along_width) {
  LastKNum = rows * cols;
  LastPaperL = PaperL;
  LastPaperW = PaperW;
  LastTabW = Para * (along_length * cols);
  LastTabH = Para * (along_width * rows);
  LastLTabRow = rows;
  LastLTabCol = cols;
}

void Class61::Try(TwoBlockSlot& s) {
  s.PaperL = PaperL;
  s.PaperW = PaperW;
  s.PL = PL;
  s.PW = PW;
  PinBanTwo(s.PaperL, s.PaperW, s.PL, s.PW, s.found);
  if (!Adopt(s)) return;
  LastTwo = s.found;
  Pic = Value(2);
}

void Class61::Try(FourBlockSlot& s) {
  s.PaperL = PaperL;
  s.PaperW = PaperW;
  s.PL = PL;
  s.PW = PW;
  PinBan(s.PaperL, s.PaperW, s.PL, s.PW, s.found);
  if (!Adopt(s)) return;
  LastFour = s.found;
  Pic = Value(4);
}

// More ups win; equal ups win only with fewer blocks, so ties stay with the earlier candidate.
// A winner's count, blocks and sheet become the page's.
template <typename Found>
bool Class61::Adopt(const LayoutSlot<Found>& s) {
  const Value KNum(s.found.KNum);
  const Value okPiece(s.found.okPiece);
  if (!(KNum > LastKNum || (KNum == LastKNum && okPiece < LastPiece))) return false;
  LastKNum = KNum;
  LastPiece = okPiece;
  LastPaperL = s.PaperL;
  LastPaperW = s.PaperW;
  return true;
}

void Class61::WriteResult() {
  // The included shared functions' line end, then three empty lines, lead the document.
  WriteIncludedFuc();
  Write("\r\n\r\n\r\n");
  Write(StandardHead(
      {.title = "拼版工具--" + std::string(kProductTitle), .extra_head = kPrintStyle}));
  Write("<!--include file=\"CopyRight.asp\"-->\r\n");
  if (Submitted()) {
    // The WebBrowser control is gone from today's browsers, so each button falls back to the
    // browser's own print dialog, which also previews.
    WriteHtml(
        R"(<OBJECT  id=WebBrowser  classid=CLSID:8856F961-340A-11D0-A96B-00C04FD705A2  height=0  width=0 VIEWASTEXT>
</OBJECT>
<table width="550" height="33" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
	<tr>
		<td align="right">开版数:</td>
		<th width="70">)");
    Write(LastKNum);
    WriteHtml(R"(</th>
		<th>纸张利用率:</th>
		<th width="84">)");
    Write(Percent(LastKNum * PL * PW / (PaperL * PaperW) * Value(100)));
    WriteHtml(R"(</th>
		<th width="150" class="noPrint"><input type="button" name="Submit" value="打印" onClick="parent.mainFrame.focus();try{parent.mainFrame.document.all.WebBrowser.ExecWB(6,6);}catch(e){parent.mainFrame.print();}">
		<input type="button" name="Submit3" value="预览" onClick="parent.mainFrame.focus();try{parent.mainFrame.document.all.WebBrowser.ExecWB(7,1);}catch(e){parent.mainFrame.print();}"></th>
	</tr>
</table>
<br>
)");
    WriteSheet();
  }
  WriteHtml(R"(</body>
</html>
)");
}

// The sheet as a red-framed table at the drawing scale, the blocks of pieces inside it.
void Class61::WriteSheet() {
  const Value width = Int(Para * LastPaperL);
  const Value height = Int(Para * LastPaperW);
  // Many ups would make a huge page: the sheet then shows a fixed grid.
  const bool capped = LastKNum >= Value(kDrawnUpsLimit);
  const bool four_blocks = !capped && Pic == Value(4);
  const bool two_blocks = !capped && !four_blocks && Pic == Value(2);
  const bool single_block = !capped && !four_blocks && !two_blocks;

  Write("<table width=\"");
  Write(width);
  Write("\" height=\"");
  Write(height);
  Write("\" border=\"0\" cellpadding=\"0\"");
  if (single_block) {
    Write(" title=\"");
    Write(LastLTabRow);
    Write("行");
    Write(LastLTabCol);
    Write("列\"");
  }
  Write(" cellspacing=\"0\" style=\"border:1px solid #ff0000\" bgcolor=\"#FFFFFF\">\r\n");

  if (capped) {
    WriteHtml("\t<tr>\n\t\t<td valign=\"top\">\n");
    DrawTab(width, height, Value(100), Value(100));
    WriteHtml("\t\t</td>\n\t</tr>\n");
  } else if (four_blocks) {
    // The left column's upper block, then the right column (its two blocks stacked in one
    // cell), then the left column's lower block in the second row.
    const Value okax(LastFour.okax);
    Write("\t<tr>\r\n\t\t<td width=\"");
    Write(Para * okax);
    Write("\" height=\"");
    Write(Para * Value(LastFour.okay));
    Write("\" valign=\"top\">\r\n");
    DrawBlock(LastFour.LT);
    Write("\t\t</td>\r\n\t\t<td width=\"");
    Write(Para * LastPaperL - Para * okax);
    Write("\" rowspan=\"2\" valign=\"top\">\r\n");
    DrawBlock(LastFour.RT);
    DrawBlock(LastFour.RB);
    WriteHtml("\t\t</td>\n\t</tr>\n\t<tr>\n\t\t<td valign=\"top\">\n");
    DrawBlock(LastFour.LB);
    WriteHtml("\t\t</td>\n\t</tr>\n");
  } else if (two_blocks) {
    WriteHtml("\t<tr>\n\t\t<td>\n");
    DrawBlock(LastTwo.Top);
    WriteHtml("\t\t</td>\n\t</tr>\n\t<tr>\n\t\t<td>\n");
    DrawBlock(LastTwo.Bot);
    WriteHtml("\t\t</td>\n\t</tr>\n");
  } else {
    WriteHtml("\t<tr>\n\t\t<td valign=\"top\">\n");
    DrawTab(LastTabW, LastTabH, LastLTabRow, LastLTabCol);
    WriteHtml("\t\t</td>\n\t</tr>\n");
  }
  WriteHtml("</table>\n");
}

}  // namespace sheetora
