#include "pages/page_head.h"

namespace sheetora {

std::string TransitionalDoctype() {
  return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
         "\"http://www.w3.org/TR/html4/loose.dtd\">\r\n";
}

std::string FrameGuardScript(std::string_view statement) {
  std::string out = "<script language=\"JavaScript\">\r\n <!--\r\n　　";
  out.append(statement).append("\r\n　// -->\r\n</script>\r\n");
  return out;
}

std::string StandardHead(const PageHead& head) {
  std::string out = TransitionalDoctype();
  out +=
      "<html>\r\n<head>\r\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
      "<title>";
  out.append(head.title).append("</title>\r\n");
  if (head.close_head_after_title) out += "</head>\r\n";
  out += "<style type=\"text/css\">\r\n<!--\r\n";
  out += CrLf(head.style);
  out += "-->\r\n</style>";
  if (!head.extra_head.empty()) out.append("\r\n").append(CrLf(head.extra_head));
  out += head.close_head_after_title ? "\r\n" : "</head>\r\n";
  out += FrameGuardScript(head.guard);
  out +=
      "<script language=\"JavaScript\">\r\n"
      "document.oncontextmenu=new Function(\"event.returnValue=false;\");\r\n"
      "document.onselectstart=new Function(\"event.returnValue=false;\");\r\n"
      "</script>\r\n";
  out.append(head.body_tag).append("\r\n");
  return out;
}

}  // namespace sheetora
