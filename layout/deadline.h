// A cheap clock check for long searches, with an optional cap on their steps.
#pragma once

#include <cstdint>
#include <limits>

#include "layout/geometry.h"

namespace sheetora::layout {

/// Expires at a time, or after `max_steps` calls, whichever comes first. Reads the clock only
/// every kStride calls, so a search may ask at every step; once expired it stays expired. A
/// step cap keeps a search's effort the same on a busy machine as on an idle one.
class Deadline {
 public:
  explicit Deadline(Clock::time_point at,
                    std::int64_t max_steps = std::numeric_limits<std::int64_t>::max())
      : at_(at), max_steps_(max_steps) {}

  bool Expired() {
    if (expired_) return true;
    if (++steps_ % kStride != 0) return false;
    expired_ = steps_ >= max_steps_ || Clock::now() >= at_;
    return expired_;
  }

 private:
  static constexpr std::int64_t kStride = 256;
  Clock::time_point at_;
  std::int64_t max_steps_;
  std::int64_t steps_ = 0;
  bool expired_ = false;
};

}  // namespace sheetora::layout
