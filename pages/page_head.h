// The head that the site's pages write first, parameterised by the few ways in which they differ.
#pragma once

#include <string>
#include <string_view>

#include "runtime/page.h"  // CrLf

namespace sheetora {

/// Product name and version, the title of the shell pages and the end of every tool title.
inline constexpr std::string_view kProductTitle = "KorvaneV2.0";

/// Body rules of the calculator and tool pages' style sheet.
inline constexpr std::string_view kStandardStyle =
    "body {\n\tbackground-color: #eeeeee;\n}\ntable{font-size:12px}\n";
/// The welcome and about pages' single body rule, which also sets the text size.
inline constexpr std::string_view kTextPageStyle =
    "body {\n\tbackground-color: #eeeeee;font-size:12px;\n}\n";
/// The guard of every framed page: opened by itself, it sends the browser to the frameset.
inline constexpr std::string_view kFramedGuard =
    "if (window == top)top.location.href = \"index.asp\";";
/// Body tag that blocks copying from the page.
inline constexpr std::string_view kNoCopyBody =
    "<body oncopy='return false' onbeforecopy='return false' onmouseup='return false'>";

struct PageHead {
  std::string_view title;
  std::string_view style = kStandardStyle;  // rules inside the style sheet's comment, LF-ended
  std::string_view extra_head;              // written after the style sheet, before </head>
  std::string_view guard = kFramedGuard;    // the guard script's statement line
  bool close_head_after_title = false;      // the about page ends its head right after the title
  std::string_view body_tag = kNoCopyBody;
};

/// The HTML 4.01 Transitional document type line, CR LF ended.
std::string TransitionalDoctype();
/// The frame-guard script element around one statement line, CR LF ended.
std::string FrameGuardScript(std::string_view statement);
/// The whole head, from the document type to the body start tag, CR LF ended.
std::string StandardHead(const PageHead& head);

}  // namespace sheetora
