#include "pages/catalogue.h"

#include <array>
#include <utility>

#include "calc/fuc.h"
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

using Factory = std::unique_ptr<Page> (*)();

constexpr std::array kClasses = {
    std::pair<std::string_view, Factory>{"Sheetora.Class53", &Make<Class53>},
    std::pair<std::string_view, Factory>{"Sheetora.Class54", &Make<Class54>},
    std::pair<std::string_view, Factory>{"Sheetora.Class55", &Make<Class55>},
    std::pair<std::string_view, Factory>{"Sheetora.Class57", &Make<Class57>},
    std::pair<std::string_view, Factory>{"Sheetora.Class58", &Make<Class58>},
    std::pair<std::string_view, Factory>{"Sheetora.Class59", &Make<Class59>},
    std::pair<std::string_view, Factory>{"Sheetora.Class60", &Make<Class60>},
    std::pair<std::string_view, Factory>{"Sheetora.Class61", &Make<Class61>},
    std::pair<std::string_view, Factory>{"Sheetora.Class63", &Make<Class63>},
};

}  // namespace

std::unique_ptr<Page> CreatePage(std::string_view class_name) {
  for (const auto& [name, make] : kClasses) {
    if (name == class_name) return make();
  }
  return nullptr;
}

}  // namespace sheetora
