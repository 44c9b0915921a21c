#include "pages/shell/main.h"

#include "pages/page_head.h"

namespace sheetora {

void Class59::AllTORVA() try {
  Write("\r\n");
  Write(StandardHead(
      {.title = kProductTitle,
       .style = kTextPageStyle,
       .guard = "if (window == top)top.location.href = \"index.asp\";//永远带着框架"}));
  WriteHtml(R"(
<table width="550" height="155" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td style="line-height:1.5em ">
KorvaneV2.0是为印刷厂开单员准备的一套网页计算工具，打开浏览器即可使用，无需数据库支持。<br>
<br>
<b>关于开版拼版工具：</b><br>
开版方式支持横排、竖排、横排或竖排（二者选多）、横竖混合（最多排法）。 <br>
拼版方式支持正反版、天地版、自翻版 。 <br>
并提供详细拼版图及精确的纸张利用率，拼版图可放大缩小，让您看的明白，让您的拼版有图可依,极大提高开版拼版速度，并使纸张浪费减少到最小。<br>
<br>
<b>关于纸张价格重量换算工具：</b><br>
为日常务往来提供了一个可靠的小助手，让你不再为纸张价格重量之间的换算而烦恼。<br>
<br>
<b>关于书脊计算工具：</b><br>
为粗略计算，仅供参考！ <br>
<br>
<b>关于配色工具：</b><br>
目前仅推出RGB配色,后续版本将推出CMYK配色。<br>
<br>
</td>
</tr>
</table>

</body>
</html>
)");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
