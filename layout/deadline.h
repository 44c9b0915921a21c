// Where a search stops. Each search has a budget of steps, so that what it finds depends on the
// request alone, never on the machine's load; the request's time limit and a stop request (a
// caller who hung up, a host shutting down) only cut it short, and the answer says so.
#pragma once

#include <cstdint>
#include <stop_token>
#include <utility>

#include "layout/geometry.h"

namespace sheetora::layout {

/// What cuts every search of one request short.
struct Limits {
  Clock::time_point deadline = Clock::time_point::max();
  std::stop_token stop;

  [[nodiscard]] bool Reached() const { return stop.stop_requested() || Clock::now() >= deadline; }
};

/// One search's budget of steps under the request's limits. Expires once the steps are spent,
/// exactly, or when the limits are reached, which it checks only every kStride steps so that a
/// search may ask at every step. Once expired it stays expired.
class Deadline {
 public:
  Deadline(Limits limits, std::int64_t max_steps) : limits_(std::move(limits)), left_(max_steps) {}

  /// Spends `steps` (the work done since the last call) and tells whether the search must stop.
  bool Expired(std::int64_t steps = 1) {
    if (expired_) return true;
    left_ -= steps;
    if (left_ < 0) return expired_ = true;
    unchecked_ += steps;
    if (unchecked_ < kStride) return false;
    unchecked_ = 0;
    cut_short_ = limits_.Reached();
    return expired_ = cut_short_;
  }

  /// Whether the time limit or a stop request ended the search, rather than its budget or its end.
  [[nodiscard]] bool cut_short() const { return cut_short_; }

 private:
  static constexpr std::int64_t kStride = 256;
  Limits limits_;
  std::int64_t left_;
  std::int64_t unchecked_ = 0;  // steps since the limits were last checked
  bool expired_ = false;
  bool cut_short_ = false;
};

}  // namespace sheetora::layout
