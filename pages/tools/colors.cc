#include "pages/tools/colors.h"

#include <string>

#include "pages/page_head.h"

namespace sheetora {

// Every coloured table carries its colour twice: browsers read bgcolor="RGB(...)" as a legacy
// colour name (red shows dark green), so an inline style gives the same colour its CSS meaning.

void Class53::AllTORVA() try {
  Write("\r\n");
  Write(StandardHead({.title = kProductTitle}));
  WriteHtml(
      R"html(<table width="550" height="153" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td height="63" colspan="3"><table width="100%" height="50" border="1" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff bgcolor="RGB(255,255,255)" style="background-color:RGB(255,255,255)" id="RGBTab">
<tr>
<th><input name="RGBValue" type="text" value="RGB(255,255,255)" style="border:1px;text-align:center;" onclick="this.focus()" onfocus="this.select()"></th>
</tr>
</table></td>
</tr>
<tr align="center">
)html");
  WriteChannel("1", "RGB(255,0,0)");
  WriteChannel("2", "RGB(0,255,0)");
  WriteChannel("3", "RGB(0,0,255)");
  WriteHtml(R"html(</tr>
<tr align="center">
<td>红(R)</td>
<td>绿(G)</td>
<td>蓝(B)</td>
</tr>
</table>
</body>
</html>
<script language="javascript">
function chgColor(obj){
var RGB1,RGB2,RGB3
RGB1=parseInt(document.all.RGB1.value)
RGB2=parseInt(document.all.RGB2.value)
RGB3=parseInt(document.all.RGB3.value)
if(obj==1){document.all.RGBTab1.style.background="RGB("+ RGB1 +",0,0)"}
if(obj==2){document.all.RGBTab2.style.background="RGB(0,"+ RGB2 +",0)"}
if(obj==3){document.all.RGBTab3.style.background="RGB(0,0,"+ RGB3 +")"}
document.all.RGBTab.style.background="RGB("+ RGB1 +","+ RGB2 +","+ RGB3 +")"
document.all.RGBValue.value="RGB("+ RGB1 +","+ RGB2 +","+ RGB3 +")"
}
</script>
)html");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

void Class53::WriteChannel(std::string_view channel, std::string_view swatch_colour) {
  const std::string colour(swatch_colour);
  const std::string n(channel);
  WriteHtml(R"(<td><table width="100%" border="0" cellspacing="0" cellpadding="0">
<tr>
<td width="50%"><table width="50" height="50" border="1" align="center" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff bgcolor=")" +
            colour + R"(" style="background-color:)" + colour + R"(" id="RGBTab)" + n + R"(">
<tr>
<td>&nbsp;</td>
</tr>
</table></td>
<td width="50%" align="center"><select name="RGB)" +
            n + R"(" onchange="javascript:chgColor()" + n + R"html()">
)html");
  // Highest first and none selected, so every select starts at 255 like the white field.
  for (i = Value(255); i >= Value(0); i = i - Value(1)) {
    Write("<option value=\"");
    Write(i);
    Write("\">");
    Write(i);
    Write("</option>\r\n");
  }
  WriteHtml(R"(</select></td>
</tr>
</table></td>
)");
}

}  // namespace sheetora
