#include "host/routing_table.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace sheetora {
namespace {

constexpr std::array<Route, 8> kRoutes = {{
    {"index.asp", "Sheetora.Class57"},      // frameset
    {"Left.asp", "Sheetora.Class58"},       // menu frame with the forms
    {"Main.asp", "Sheetora.Class59"},       // welcome page
    {"PinBan.asp", "Sheetora.Class61"},     // imposition result
    {"Paper.asp", "Sheetora.Class60"},      // paper weight and price
    {"Spine.asp", "Sheetora.Class63"},      // spine thickness
    {"Colors.asp", "Sheetora.Class53"},     // colour mixer
    {"CopyRight.asp", "Sheetora.Class54"},  // about page
}};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(
      a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::span<const Route> RoutingTable() { return kRoutes; }

std::optional<std::string_view> FindPageClass(std::string_view url_path) {
  if (url_path.starts_with('/')) url_path.remove_prefix(1);
  if (url_path.empty()) url_path = "index.asp";
  for (const Route& route : kRoutes) {
    if (EqualsIgnoringCase(route.path, url_path)) return route.class_name;
  }
  return std::nullopt;
}

}  // namespace sheetora
