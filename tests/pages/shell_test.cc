#include <gtest/gtest.h>

#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::PageHarness;

// Expected pages are written with LF in the test source; the site sends CR LF.
std::string Crlf(std::string_view lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(Frameset, IsByteExact) {
  PageHarness harness;
  EXPECT_EQ(testing::Gb2312(harness.Html("Sheetora.Class57")), testing::Golden("index.asp.golden"));
}

TEST(Frameset, ReadsNothingFromTheRequest) {
  PageHarness harness;
  EXPECT_EQ(harness.Html("Sheetora.Class57", {{"PaperL", "<b>"}}, {{"PinBan", "PL", "1"}}),
            harness.Html("Sheetora.Class57"));
}

TEST(WelcomePage, HeadDiffersFromTheStandardOneInStyleAndGuardComment) {
  PageHarness harness;
  const std::string html = harness.Html("Sheetora.Class59", {{"x", "y"}});
  EXPECT_TRUE(html.starts_with(Crlf(R"(
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>KorvaneV2.0</title>
<style type="text/css">
<!--
body {
	background-color: #eeeeee;font-size:12px;
}
-->
</style></head>
<script language="JavaScript">
 <!--
　　if (window == top)top.location.href = "index.asp";//永远带着框架
　// -->
</script>
<script language="JavaScript">
document.oncontextmenu=new Function("event.returnValue=false;");
document.onselectstart=new Function("event.returnValue=false;");
</script>
<body oncopy='return false' onbeforecopy='return false' onmouseup='return false'>

<table width="550" height="155" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td style="line-height:1.5em ">
)"))) << html;
  EXPECT_NE(html.find("无需数据库支持。<br>\r\n<br>\r\n<b>关于开版拼版工具：</b><br>\r\n"),
            std::string::npos);
  EXPECT_NE(html.find("后续版本将推出CMYK配色。<br>\r\n<br>\r\n</td>\r\n</tr>\r\n</table>\r\n\r\n"
                      "</body>\r\n</html>\r\n"),
            std::string::npos);
  EXPECT_EQ(html, harness.Html("Sheetora.Class59"));
}

TEST(AboutPage, EndsTheHeadAfterTheTitleAndAllowsCopying) {
  PageHarness harness;
  const std::string html = harness.Html("Sheetora.Class54");
  EXPECT_TRUE(html.starts_with(Crlf(R"(
<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN" "http://www.w3.org/TR/html4/loose.dtd">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>KorvaneV2.0</title>
</head>
<style type="text/css">
<!--
body {
	background-color: #eeeeee;font-size:12px;
}
-->
</style>
<script language="JavaScript">
 <!--
　　if (window == top)top.location.href = "index.asp";
　// -->
</script>
<script language="JavaScript">
document.oncontextmenu=new Function("event.returnValue=false;");
document.onselectstart=new Function("event.returnValue=false;");
</script>
<body>

<table width="550" height="77" border="1" cellpadding="5" cellspacing="0" borderColorLight=#cccccc borderColorDark=#ffffff>
<tr>
<td style="line-height:1.5em;font-size:12px; ">
<b>版权声明:</b><br>
)"))) << html;
  EXPECT_TRUE(html.ends_with("</td>\r\n</tr>\r\n</table>\r\n</body>\r\n</html>\r\n"));
}

}  // namespace
}  // namespace sheetora
