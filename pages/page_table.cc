#include "pages/page_table.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "pages/fuc.h"
#include "pages/imposition/pinban.h"
#include "pages/shell/copyright.h"
#include "pages/shell/index.h"
#include "pages/shell/left.h"
#include "pages/shell/main.h"
#include "pages/tools/colors.h"
#include "pages/tools/paper.h"
#include "pages/tools/spine.h"

namespace sheetora {
namespace {

template <typename T>
std::unique_ptr<Page> Make() {
  return std::make_unique<T>();
}

// A page is named here once: its path, its class name and the class that serves it.
constexpr std::array kPages = {
    PageRow{"index.asp", "Sheetora.Class57", &Make<Class57>},      // frameset
    PageRow{"Left.asp", "Sheetora.Class58", &Make<Class58>},       // menu frame with the forms
    PageRow{"Main.asp", "Sheetora.Class59", &Make<Class59>},       // welcome page
    PageRow{"PinBan.asp", "Sheetora.Class61", &Make<Class61>},     // imposition result
    PageRow{"Paper.asp", "Sheetora.Class60", &Make<Class60>},      // paper weight and price
    PageRow{"Spine.asp", "Sheetora.Class63", &Make<Class63>},      // spine thickness
    PageRow{"Colors.asp", "Sheetora.Class53", &Make<Class53>},     // colour mixer
    PageRow{"CopyRight.asp", "Sheetora.Class54", &Make<Class54>},  // about page
    PageRow{"", "Sheetora.Class55", &Make<Class55>},  // the shared functions, included by pages
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::span<const PageRow> PageTable() { return kPages; }

const PageRow* FindPageByPath(std::string_view url_path) {
  if (url_path.starts_with('/')) url_path.remove_prefix(1);
  if (url_path.empty()) url_path = "index.asp";
  const auto row = std::ranges::find_if(kPages, [&](const PageRow& r) {
    return !r.path.empty() && EqualsIgnoringCase(r.path, url_path);
  });
  return row == kPages.end() ? nullptr : &*row;
}

const PageRow* FindPageByClass(std::string_view class_name) {
  const auto row = std::ranges::find(kPages, class_name, &PageRow::class_name);
  return row == kPages.end() ? nullptr : &*row;
}

}  // namespace sheetora
