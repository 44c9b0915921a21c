#include "pages/shell/index.h"

#include "pages/page_head.h"

namespace sheetora {

void Class57::AllTORVA() try {
  WriteHtml(
      R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Frameset//EN" "http://www.w3.org/TR/html4/frameset.dtd">

<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>KorvaneV2.0</title>
</head>
)");
  // Inside somebody else's frame, the frameset takes over the whole window.
  Write(FrameGuardScript("if (window != top)top.location.href = \"index.asp\"; "));
  WriteHtml(R"(
<frameset rows="*" cols="200,*" framespacing="0" frameborder="no" border="0" bordercolor="#000000">
<frame src="Left.asp" name="leftFrame" scrolling="Auto" noresize>
<frame src="Main.asp" name="mainFrame">
</frameset>
<noframes><body>
<noscript><iframe src=*.html></iframe></noscript>
</body></noframes>
</html>
)");
} catch (const std::exception& e) {
  Trap("AllTORVA", e);
}

}  // namespace sheetora
