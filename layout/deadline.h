// A cheap clock check for long searches.
#pragma once

#include <cstdint>

#include "layout/pack.h"

namespace sheetora::layout {

/// Reads the clock only every kStride calls, so a search may ask at every step; once expired it
/// stays expired.
class Deadline {
 public:
  explicit Deadline(Clock::time_point at) : at_(at) {}

  bool Expired() {
    if (expired_) return true;
    if (++calls_ % kStride != 0) return false;
    expired_ = Clock::now() >= at_;
    return expired_;
  }

 private:
  static constexpr std::uint32_t kStride = 256;
  Clock::time_point at_;
  std::uint32_t calls_ = 0;
  bool expired_ = false;
};

}  // namespace sheetora::layout
