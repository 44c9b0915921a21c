// The effort a gang plan may spend: a count of steps that makes the plan the same on any
// machine, cut short by the time limit or a stop request (the answer then says it is incomplete).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>

#include "layout/deadline.h"

namespace sheetora::layout::gang {

class Budget {
 public:
  Budget(std::int64_t steps, Limits limits) : left_(steps), limits_(std::move(limits)) {}

  /// Spends `steps`; false once the steps are spent or the time is up (and from then on).
  bool Spend(std::int64_t steps) {
    if (out_) return false;
    left_ -= steps;
    since_clock_ += steps;
    if (left_ < 0) out_ = true;
    if (since_clock_ >= kStride) {
      since_clock_ = 0;
      if (limits_.Reached()) out_ = cut_short_ = true;
    }
    return !out_;
  }
  /// Notes that a part of the work was cut short by the time limit (a search that stopped on
  /// its own clock), which the answer then says; the rest goes on.
  void NoteCutShort() { cut_short_ = true; }
  [[nodiscard]] bool out() const { return out_; }
  /// The time limit or a stop request ended the work, rather than its step count.
  [[nodiscard]] bool cut_short() const { return cut_short_; }
  [[nodiscard]] std::int64_t left() const { return left_; }
  [[nodiscard]] const Limits& limits() const { return limits_; }
  /// The wall-clock seconds to the deadline, for the solvers' own limits (never 0, which they
  /// take as none).
  [[nodiscard]] double Seconds() const {
    return std::max(0.001, std::chrono::duration<double>(limits_.deadline - Clock::now()).count());
  }

  /// A part of the remaining steps for one stage, due by `deadline` at the latest; what it
  /// leaves unspent is not returned.
  [[nodiscard]] Budget Share(std::int64_t steps,
                             Clock::time_point deadline = Clock::time_point::max()) const {
    Limits limits = limits_;
    limits.deadline = std::min(limits.deadline, deadline);
    return {std::min(steps, left_), std::move(limits)};
  }
  /// Charges a stage's spending (and its being cut short) to this budget.
  void Absorb(const Budget& part, std::int64_t given) {
    Spend(given - part.left_);
    if (part.cut_short_) out_ = cut_short_ = true;
  }

 private:
  static constexpr std::int64_t kStride = 4096;
  std::int64_t left_;
  Limits limits_;
  std::int64_t since_clock_ = 0;
  bool out_ = false;
  bool cut_short_ = false;
};

}  // namespace sheetora::layout::gang
