#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::CookieSubkey;
using testing::PageHarness;

constexpr std::string_view kMenu = "Sheetora.Class58";

// Expected pages are written with LF in the test source; the site sends CR LF.
std::string Crlf(std::string_view lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<CookieSubkey> PinBanCookie(std::string paper_l, std::string paper_w, std::string pl,
                                       std::string pw) {
  return {{"PinBan", "PaperL", std::move(paper_l)},
          {"PinBan", "PaperW", std::move(paper_w)},
          {"PinBan", "PL", std::move(pl)},
          {"PinBan", "PW", std::move(pw)}};
}

std::string SizeInput(std::string_view name, std::string_view value) {
  return "<input name=\"" + std::string(name) + "\" type=\"text\" value=\"" + std::string(value) +
         "\" size=\"4\" onClick=\"javascript:this.focus()\" onFocus=\"this.select()\">\r\n";
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The menu of a first visit: no cookie, empty size fields.
constexpr std::string_view kFirstVisitMenu = R"HTML(
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">
<html>
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
<script language="JavaScript">
 <!--
　　if (window == top)top.location.href = "index.asp";
　// -->
</script>
<script language="JavaScript">
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
<input name="PaperL" type="text" value="" size="4" onClick="javascript:this.focus()" onFocus="this.select()">
×
<input name="PaperW" type="text" value="" size="4" onClick="javascript:this.focus()" onFocus="this.select()">
MM</td>
</tr>
<tr>
<td>成品尺寸:<br>
<br>
<input name="PL" type="text" value="" size="4" onClick="javascript:this.focus()" onFocus="this.select()">
×
<input name="PW" type="text" value="" size="4" onClick="javascript:this.focus()" onFocus="this.select()">
MM</td>
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
<script language="javascript">
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
)HTML";

TEST(MenuPage, FirstVisitIsByteExact) {
  PageHarness harness;
  EXPECT_EQ(harness.Html(kMenu), Crlf(kFirstVisitMenu));
  EXPECT_TRUE(harness.LogLines().empty());
}

TEST(MenuPage, ReadsOnlyTheCookieFromTheRequest) {
  PageHarness harness;
  EXPECT_EQ(harness.Html(kMenu, {{"PaperL", "1"}, {"PaiLie", "HP"}}), Crlf(kFirstVisitMenu));
  EXPECT_EQ(harness.Html(kMenu, {}, {{"Other", "PaperL", "5"}}), Crlf(kFirstVisitMenu));
}

TEST(MenuPage, FillsTheFourSizesFromTheRememberedCookie) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu, {}, PinBanCookie("1092", "787", "210", "140"));
  EXPECT_NE(
      html.find(SizeInput("PaperL", "1092") + "×\r\n" + SizeInput("PaperW", "787") + "MM</td>\r\n"),
      std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "210") + "×\r\n" + SizeInput("PW", "140") + "MM</td>\r\n"),
            std::string::npos);
  // Nothing else moves: the filled page is the first-visit page with the four values inserted.
  std::string expected = Crlf(kFirstVisitMenu);
  for (const auto& [name, value] :
       {std::pair{"PaperL", "1092"}, {"PaperW", "787"}, {"PL", "210"}, {"PW", "140"}}) {
    const std::string empty = SizeInput(name, "");
    expected.replace(expected.find(empty), empty.size(), SizeInput(name, value));
  }
  EXPECT_EQ(html, expected);
}

TEST(MenuPage, AMissingSubkeyLeavesItsFieldEmpty) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu, {}, {{"PinBan", "PL", "297"}});
  EXPECT_NE(html.find(SizeInput("PaperL", "")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "297")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PW", "")), std::string::npos);
}

// The cookie comes from the browser, so its text must not leave the value attribute.
TEST(MenuPage, EscapesCookieTextInTheValueAttributes) {
  PageHarness harness;
  const std::string html =
      harness.Html(kMenu, {}, PinBanCookie("\"><script>alert(1)</script>", "a&b", "'x'", "1<2"));
  EXPECT_NE(html.find(SizeInput("PaperL", "&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;")),
            std::string::npos);
  EXPECT_NE(html.find(SizeInput("PaperW", "a&amp;b")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PL", "&#39;x&#39;")), std::string::npos);
  EXPECT_NE(html.find(SizeInput("PW", "1&lt;2")), std::string::npos);
  EXPECT_EQ(Count(html, "<script"), Count(Crlf(kFirstVisitMenu), "<script"));
}

// Contracts that other pages and the client script rely on, whatever the layout of the lines.
TEST(MenuPage, KeepsTheContractsOfFormsAndScript) {
  PageHarness harness;
  const std::string html = harness.Html(kMenu);
  // Every text box selects its content when clicked, for overtyping.
  EXPECT_EQ(Count(html, "type=\"text\""), 13u);
  EXPECT_EQ(Count(html, "onClick=\"javascript:this.focus()\" onFocus=\"this.select()\""), 13u);
  // One script after the document, defining the six functions in this order.
  const auto after_document = html.find("</html>\r\n<script language=\"javascript\">\r\n");
  ASSERT_NE(after_document, std::string::npos);
  std::size_t at = after_document;
  for (std::string_view function :
       {"function displaynone(){", "function chgMenu(obj){", "function chgPrice(obj){",
        "function checkPaper(){", "function checkSpine(){", "function checkSubmit(){"}) {
    const auto found = html.find(function, at);
    ASSERT_NE(found, std::string::npos) << function;
    at = found;
  }
  EXPECT_TRUE(html.ends_with("}\r\n</script>\r\n"));
  // Today's browsers read the first cursor rule; the second is kept for older ones.
  EXPECT_NE(
      html.find(".menuover{background-color:#cccccc;color:#ff0000;cursor:pointer;cursor:hand}"),
      std::string::npos);
  // The five sections in order, each header before its content.
  at = 0;
  for (int n = 1; n <= 5; ++n) {
    const auto header = html.find("chgMenu(" + std::to_string(n) + ")", at);
    const auto content = html.find("<div ID=\"Menu" + std::to_string(n) + "\">", at);
    ASSERT_NE(header, std::string::npos);
    ASSERT_NE(content, std::string::npos);
    EXPECT_LT(header, content);
    at = content;
  }
}

}  // namespace
}  // namespace sheetora
