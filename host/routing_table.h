// The site's URL paths and the page classes that serve them.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace sheetora {

struct Route {
  std::string_view path;        // as the site spells it, without the leading slash
  std::string_view class_name;  // the page class, created by name from the page library
};

/// The site's pages, one row each.
std::span<const Route> RoutingTable();

/// The page class for a URL path: "/" serves "index.asp", paths match case-insensitively, and
/// any other path has none.
std::optional<std::string_view> FindPageClass(std::string_view url_path);

}  // namespace sheetora
