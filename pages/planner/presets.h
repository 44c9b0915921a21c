// The sizes shops use, offered in the planner's size fields as the clerk types.
#pragma once

#include <span>
#include <string_view>

#include "layout/layout.h"
#include "pages/planner/messages.h"
#include "pages/planner/units.h"

namespace sheetora::planner {

enum class PresetKind { kSheet, kPiece };

/// One size, length first, in the unit it is known by (its micrometres are exact in that unit).
struct Preset {
  PresetKind kind;
  Msg name;               ///< Msg::kCount when `code` names it in every language
  std::string_view code;  ///< "A4", "SRA3"; "" when `name` does
  layout::Micrometres length, width;
  Unit unit;
};

std::span<const Preset> Presets();

}  // namespace sheetora::planner
