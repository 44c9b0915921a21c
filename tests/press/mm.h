// Millimetres as the engine's micrometres, for the press tests' requests.
#pragma once

#include <cmath>

#include "layout/layout.h"

namespace sheetora::press::testing {

inline layout::Micrometres Mm(double mm) { return std::llround(mm * 1000); }

}  // namespace sheetora::press::testing
