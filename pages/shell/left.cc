#include "pages/shell/left.h"

#include "pages/page_head.h"

namespace sheetora {

void Class58::WriteSizeInput(std::string_view subkey) const {
  Write(R"(<input name=")");
  Write(subkey);
  Write(R"(" type="text" value=")");
  // The imposition page stores whole numbers here, but the cookie comes from the browser.
  Write(EscapeHtmlAttribute(CookieSubkey("PinBan", subkey).Text()));
  Write("\" size=\"4\" onClick=\"javascript:this.focus()\" onFocus=\"this.select()\">\r\n");
}

void Class58::AllTORVA() try {
  Write("\r\n");
  Write(TransitionalDoctype());
  // Hand cursors: browsers today read cursor:pointer and skip the older cursor:hand.
  WriteHtml(R"HTML(<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>KorvaneV2.0</title>
<style type="text/css">
<!--
body {
	background-color: #eeeeee;
	margin-left: 0px;
	margin-top: 0px;
	margin-right: 0px;
	margin-bottom: 0px;
}
table{font-size:12px}
.formclass{margin:0px;padding:0px}
.tab1{border-bottom:1px solid #ff0000}
.menuover{background-color:#cccccc;color:#ff0000;cursor:pointer;cursor:hand}
.menuout{background-color:#cccccc;color:#000000}
-->
</style></head>
)HTML");
  Write(FrameGuardScript(kFramedGuard));
  // The menu blocks the context menu but not selection: typed values can be selected.
  WriteHtml(R"HTML(<script language="JavaScript">
document.oncontextmenu=new Function("event.returnValue=false;");
</script>
<body onLoad="displaynone()" oncopy='return false' onbeforecopy='return false' onmouseup='return false'>
<noscript><iframe src=*.html></iframe></noscript>
<table width="100%" height="25"  border="0" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff onClick="javascript:chgMenu(1)" class="tab1">
<tr bgcolor="#CCCCCC" onMouseOver="className='menuover'" onMouseOut="className='menuout'">
<th height="30">开版拼版工具</th>
</tr>
</table>
<div ID="Menu1">
<form name="form1" method="post" action="PinBan.asp" target="mainFrame" Class="formclass" onSubmit="checkSubmit()">
<table width="100%" height="210"  border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td>开版方式:<br>
<br>
<select name="PaiLie" onChange="javascript:if(this.value=='MaxP'){document.all.FanBan.value='1';document.all.FanBan.disabled=true}else{document.all.FanBan.disabled=false}">
<option value="HP">横排</option>
<option value="SP">竖排</option>
<option value="HSP">横排或竖排</option>
<option value="MaxP" selected>最多排法</option>
</select></td>
</tr>
<tr>
<td>拼版方式:<br>
<br>
<select name="FanBan" disabled>
<option value="1" selected>正反版</option>
<option value="2">天地版</option>
<option value="3">自翻版</option>
</select></td>
</tr>
<tr>
<td>裁纸尺寸:<br>
<br>
)HTML");
  WriteSizeInput("PaperL");
  Write("×\r\n");
  WriteSizeInput("PaperW");
  WriteHtml(R"HTML(MM</td>
</tr>
<tr>
<td>成品尺寸:<br>
<br>
)HTML");
  WriteSizeInput("PL");
  Write("×\r\n");
  WriteSizeInput("PW");
  WriteHtml(R"HTML(MM</td>
</tr>
<tr>
<td align="center"><input type="submit" name="Submit" value="查看开版拼版图" style="width:130px"></td>
</tr>
<tr>
<td align="center"><input name="BigSmall" type="hidden" value="1">
<input type="submit" name="Submit" value="放大" onClick="document.all.BigSmall.value=parseFloat(document.all.BigSmall.value)*1.2">
<input type="submit" name="Submit" value="缩小" onClick="if(parseFloat(document.all.BigSmall.value)>0.2){document.all.BigSmall.value=parseFloat(document.all.BigSmall.value)/1.2}">
<input type="submit" name="Submit" value="最佳" onClick="document.all.BigSmall.value=1"></td>
</tr>
</table>
</form>
</div>
<table width="100%" height="25"  border="0" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff onClick="javascript:chgMenu(2)" class="tab1">
<tr bgcolor="#CCCCCC" onMouseOver="className='menuover'" onMouseOut="className='menuout'">
<th height="30">纸张价格重量换算工具</th>
</tr>
</table>
<div ID="Menu2">
<form name="form2" method="post" action="Paper.asp" target="mainFrame" Class="formclass">
<table width="100%" height="215"  border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td>克数:
<input name="PaperWeight" type="text" size="8" onClick="javascript:this.focus()" onFocus="this.select()"></td>
</tr>
<tr>
<td>规格:
<select name="PaperSpec" onChange="javascript:if(this.value=='0'){document.all.CustomTR.style.display='block'}else{document.all.CustomTR.style.display='none'}">
<option value="787*1092">787*1092</option>
<option value="850*1168">850*1168</option>
<option value="880*1230">880*1230</option>
<option value="889*1194" selected>889*1194</option>
<option value="720*1020">720*1020</option>
<option value="0">自定义</option>
</select>
MM</td>
</tr>
<tr ID="CustomTR" style="display:none">
<td align="center"><input name="CustomL" type="text" size="5" onClick="javascript:this.focus()" onFocus="this.select()">
×
<input name="CustomW" type="text" size="5" onClick="javascript:this.focus()" onFocus="this.select()">
MM</td>
</tr>
<tr>
<td>M2价:
<input name="M2Price" type="text" ID="PriceID1" value="0" size="8" disabled onClick="javascript:this.focus()" onFocus="this.select()">
<input type="radio" name="PPriceType" value="M2Price" onClick="javascript:chgPrice(1)"></td>
</tr>
<tr>
<td>张价:
<input name="PiecePrice" type="text" ID="PriceID2" value="0" size="8" disabled onClick="javascript:this.focus()" onFocus="this.select()">
<input type="radio" name="PPriceType" value="PiecePrice" onClick="javascript:chgPrice(2)"></td>
</tr>
<tr>
<td>令价:
<input name="ReamPrice" type="text" ID="PriceID3" value="0" size="8" disabled onClick="javascript:this.focus()" onFocus="this.select()">
<input type="radio" name="PPriceType" value="ReamPrice" onClick="javascript:chgPrice(3)"></td>
</tr>
<tr>
<td>吨价:
<input name="TonPrice" type="text" ID="PriceID4" value="0" size="8" onClick="javascript:this.focus()" onFocus="this.select()">
<input type="radio" name="PPriceType" value="TonPrice" checked onClick="javascript:chgPrice(4)"></td>
</tr>
<tr>
<td align="center"><input type="button" name="Submit2" value="开始换算" onClick="javascript:checkPaper()"></td>
</tr>
</table>
</form>
</div>
<table width="100%" height="25"  border="0" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff onClick="javascript:chgMenu(3)" class="tab1">
<tr bgcolor="#CCCCCC" onMouseOver="className='menuover'" onMouseOut="className='menuout'">
<th height="30">书脊计算工具</th>
</tr>
</table>
<div ID="Menu3">
<form name="form3" method="post" action="Spine.asp" target="mainFrame" Class="formclass">
<table width="100%" height="89"  border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td align="center">克数:
<input name="PaperWeight" type="text" size="8" onClick="javascript:this.focus()" onFocus="this.select()"></td>
</tr>
<tr>
<td align="center">页数: 
<input name="PaperPNum" type="text" size="8" onClick="javascript:this.focus()" onFocus="this.select()"></td>
</tr>
<tr>
<td align="center"><input type="button" name="Submit2" value="开始计算" onClick="javascript:checkSpine()"></td>
</tr>
</table>
</form>
</div>
<table width="100%" height="25"  border="0" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff onClick="javascript:chgMenu(4);parent.mainFrame.window.location.href='Colors.asp'" class="tab1">
<tr bgcolor="#CCCCCC" onMouseOver="className='menuover'" onMouseOut="className='menuout'">
<th height="30">配色工具</th>
</tr>
</table>
<div ID="Menu4"></div>
<table width="100%" height="25"  border="0" cellpadding="0" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff onClick="javascript:chgMenu(5);parent.mainFrame.window.location.href='CopyRight.asp'" class="tab1">
<tr bgcolor="#CCCCCC" onMouseOver="className='menuover'" onMouseOut="className='menuout'">
<th height="30">版权</th>
</tr>
</table>
<div ID="Menu5"></div>
</body>
</html>
)HTML");
  // The client script follows the document. A section opened by a click closes on the next click
  // on its header; the first section starts with no display style, so its first click keeps it
  // open. A disabled price input is left out of the post, so only the chosen price reaches the
  // paper page. Both forms have a field PaperWeight: each check reads its own form's. The
  // imposition form is never held back: the imposition page checks the sizes itself.
  WriteHtml(R"HTML(<script language="javascript">
function displaynone(){
	document.all.Menu2.style.display="none";
	document.all.Menu3.style.display="none";
}
function chgMenu(obj){
	for(var mi=1;mi<=5;mi++){
		var menu=document.all["Menu"+mi];
		if(mi==obj){
			if(menu.style.display=="block"){
				menu.style.display="none";
			}else{
				menu.style.display="block";
			}
		}else{
			menu.style.display="none";
		}
	}
}
function chgPrice(obj){
	for(var pi=1;pi<=4;pi++){
		document.all["PriceID"+pi].disabled=(pi!=obj);
	}
}
function checkPaper(){
	var f=document.form2;
	if(f.PaperWeight.value==""||isNaN(parseInt(f.PaperWeight.value))){
		alert("请输入纸张克重!");
		return;
	}
	if(f.PaperSpec.value=="0"&&(f.CustomL.value==""||isNaN(parseInt(f.CustomL.value))||f.CustomW.value==""||isNaN(parseInt(f.CustomW.value)))){
		alert("请输入正确的纸张规格!");
		return;
	}
	f.submit();
}
function checkSpine(){
	var f=document.form3;
	if(isNaN(parseInt(f.PaperWeight.value))||isNaN(parseInt(f.PaperPNum.value))){
		alert("请输入正确的克数和页数");
		return;
	}
	f.submit();
}
function checkSubmit(){
}
</script>
)HTML");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
