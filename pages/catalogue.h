// The page library's catalogue: every page class by its name "Sheetora.ClassNN".
#pragma once

#include <memory>
#include <string_view>

#include "runtime/page.h"

namespace sheetora {

/// A new page object of the class named "Sheetora.ClassNN" (the name is compared exactly), or
/// nullptr when the library has no such class. Creation takes this thread's host objects.
std::unique_ptr<Page> CreatePage(std::string_view class_name);

}  // namespace sheetora
