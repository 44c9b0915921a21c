#include "pages/tools/spine.h"

#include <string>

#include "pages/page_head.h"

namespace sheetora {

void Class63::AllTORVA() try {
  Write("\r\n");
  std::string title = "书脊计算工具--";
  title.append(kProductTitle);
  Write(StandardHead({.title = title}));

  PaperWeight = FormItem("PaperWeight");
  PaperPNum = FormItem("PaperPNum");

  // Only emptiness is checked here: text that holds no number fails the multiplication below,
  // which leaves the response ending inside the open value cell.
  if (PaperWeight != Value("") && PaperPNum != Value("")) {
    WriteHtml(R"(
<table width="300" height="26" border="1" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td width="117" align="center">书脊厚度:</td>
<td width="177" align="center">)");
    Write((PaperWeight * PaperPNum) * Value(0.00135));
    WriteHtml(R"(&nbsp;&nbsp;MM</td>
</tr>
</table>
)");
  } else {
    Write("输入错误!");
  }
  WriteHtml(R"(
</body>
</html>
)");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
