// The site's page table: each URL path with the page class that serves it and its factory.
#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "runtime/page.h"

namespace sheetora {

/// One page class of the library. A class with an empty path is created by name only.
struct PageRow {
  std::string_view path;        // as the site spells it, without the leading slash
  std::string_view class_name;  // "Sheetora.ClassNN", the system's name for the class
  std::unique_ptr<Page> (*make)();
};

/// Every page class of the library, one row each.
std::span<const PageRow> PageTable();

/// The row that serves a URL path: "/" serves "index.asp", paths match case-insensitively, and
/// any other path has none (nullptr).
const PageRow* FindPageByPath(std::string_view url_path);

/// The row of the class named exactly "Sheetora.ClassNN", or nullptr.
const PageRow* FindPageByClass(std::string_view class_name);

}  // namespace sheetora
