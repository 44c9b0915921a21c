#include "pages/shell/copyright.h"

#include "pages/page_head.h"

namespace sheetora {

void Class54::AllTORVA() try {
  Write("\r\n");
  Write(StandardHead({.title = kProductTitle,
                      .style = kTextPageStyle,
                      .close_head_after_title = true,
                      .body_tag = "<body>"}));
  WriteHtml(R"(
<table width="550" height="77" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td style="line-height:1.5em;font-size:12px; ">
<b>版权声明:</b><br>
KorvaneV2.0为印刷厂内部使用的计算工具，版权归开发者所有。计算结果仅供参考，开版前请核对实际尺寸。
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
