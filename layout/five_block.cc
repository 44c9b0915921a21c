#include "layout/five_block.h"

#include <algorithm>
#include <memory>

namespace sheetora::layout {

FiveBlockSearch::FiveBlockSearch(const GuillotineTable& guillotine)
    : guillotine_(guillotine),
      xs_(guillotine.xs()),
      ys_(guillotine.ys()),
      area_(guillotine.a() * guillotine.b()),
      // The entries are left uninitialised, their pages untouched until the search reaches them
      // under its deadline; `solved_` tells which hold anything.
      memo_(std::make_unique_for_overwrite<Entry[]>(static_cast<std::size_t>(xs_.size()) *
                                                    static_cast<std::size_t>(ys_.size()))),
      solved_(static_cast<std::size_t>(xs_.size()) * static_cast<std::size_t>(ys_.size())) {}

std::array<FiveBlockSearch::Part, 5> FiveBlockSearch::Pinwheel(int i, int j,
                                                               const Entry& cuts) const {
  const std::int64_t x = xs_[i], y = ys_[j];
  const std::int64_t x1 = xs_[cuts.x1], x2 = xs_[cuts.x2], y1 = ys_[cuts.y1], y2 = ys_[cuts.y2];
  return {{{cuts.x1, cuts.y2, 0, 0},
           {xs_.Floor(x - x1), cuts.y1, x1, 0},
           {xs_.Floor(x - x2), ys_.Floor(y - y1), x2, y1},
           {cuts.x2, ys_.Floor(y - y2), 0, y2},
           {xs_.Floor(x2 - x1), ys_.Floor(y2 - y1), x1, y1}}};
}

std::int64_t FiveBlockSearch::Solve(int i, int j, Deadline& deadline) {
  Entry& entry = memo_[Index(i, j)];  // the memo never grows, so the reference stays valid
  if (solved_[Index(i, j)]) return entry.value;
  solved_[Index(i, j)] = true;
  entry = {.value = guillotine_.Value(i, j)};
  const std::int64_t bound = guillotine_.Bound(i, j);
  const std::int64_t x = xs_[i], y = ys_[j];
  // Straight cuts again, now over parts that may hold pinwheels.
  for (int k = 1; entry.value < bound && 2 * xs_[k] <= x && !deadline.Expired(); ++k) {
    const int far = xs_.Floor(x - xs_[k]);
    if (guillotine_.Bound(k, j) + guillotine_.Bound(far, j) <= entry.value) continue;
    const std::int64_t v = Solve(k, j, deadline) + Solve(far, j, deadline);
    if (v > entry.value) entry = {.value = v, .kind = Kind::kCutX, .x1 = k};
  }
  for (int k = 1; entry.value < bound && 2 * ys_[k] <= y && !deadline.Expired(); ++k) {
    const int far = ys_.Floor(y - ys_[k]);
    if (guillotine_.Bound(i, k) + guillotine_.Bound(i, far) <= entry.value) continue;
    const std::int64_t v = Solve(i, k, deadline) + Solve(i, far, deadline);
    if (v > entry.value) entry = {.value = v, .kind = Kind::kCutY, .y1 = k};
  }
  if (entry.value < bound) TryPinwheels(i, j, entry, deadline);
  return entry.value;
}

void FiveBlockSearch::TryPinwheels(int i, int j, Entry& entry, Deadline& deadline) {
  const std::int64_t bound = guillotine_.Bound(i, j);
  const std::int64_t x = xs_[i], y = ys_[j];
  const auto area_bound = [&](std::int64_t area) { return area / area_; };
  Entry cuts{.kind = Kind::kPinwheel};
  // A pinwheel turned half round is a pinwheel with the same blocks, and pushing its blocks
  // back to raster points only moves its cuts left: so the centre can be taken left of middle.
  for (cuts.x1 = 1; 2 * xs_[cuts.x1] < x; ++cuts.x1) {
    for (cuts.y2 = 2; cuts.y2 < j; ++cuts.y2) {
      if (entry.value >= bound || deadline.Expired()) return;
      const std::int64_t lower_left = xs_[cuts.x1] * ys_[cuts.y2];
      const std::int64_t b1 = guillotine_.Bound(cuts.x1, cuts.y2);
      if (b1 + area_bound(x * y - lower_left) <= entry.value) continue;
      for (cuts.x2 = cuts.x1 + 1; cuts.x2 < i && xs_[cuts.x1] + xs_[cuts.x2] <= x; ++cuts.x2) {
        const std::int64_t upper_left = xs_[cuts.x2] * (y - ys_[cuts.y2]);
        const std::int64_t b4 = guillotine_.Bound(cuts.x2, ys_.Floor(y - ys_[cuts.y2]));
        if (b1 + b4 + area_bound(x * y - lower_left - upper_left) <= entry.value) continue;
        for (cuts.y1 = 1; cuts.y1 < cuts.y2 && !deadline.Expired(); ++cuts.y1) {
          const std::array<Part, 5> parts = Pinwheel(i, j, cuts);
          std::int64_t sum = 0;
          for (const Part& part : parts) sum += guillotine_.Bound(part.i, part.j);
          if (sum <= entry.value) continue;
          // Replace each block's bound by its value while the total can still win.
          for (const Part& part : parts) {
            sum += Solve(part.i, part.j, deadline) - guillotine_.Bound(part.i, part.j);
            if (sum <= entry.value) break;
          }
          if (sum > entry.value) {
            cuts.value = sum;
            entry = cuts;
          }
        }
      }
    }
  }
}

void FiveBlockSearch::Emit(int i, int j, std::int64_t x, std::int64_t y,
                           std::vector<Block>& out) const {
  // As in the guillotine table: into the near part of a cut, which is at most half, and on
  // along the far part; a pinwheel's blocks are smaller both ways.
  for (;;) {
    const Entry& entry = memo_[Index(i, j)];
    switch (solved_[Index(i, j)] ? entry.kind : Kind::kGuillotine) {
      case Kind::kGuillotine:
        guillotine_.Emit(i, j, x, y, out);
        return;
      case Kind::kCutX:
        Emit(entry.x1, j, x, y, out);
        x += xs_[entry.x1];
        i = xs_.Floor(xs_[i] - xs_[entry.x1]);
        break;
      case Kind::kCutY:
        Emit(i, entry.y1, x, y, out);
        y += ys_[entry.y1];
        j = ys_.Floor(ys_[j] - ys_[entry.y1]);
        break;
      case Kind::kPinwheel:
        for (const Part& part : Pinwheel(i, j, entry)) {
          Emit(part.i, part.j, x + part.x, y + part.y, out);
        }
        return;
    }
  }
}

}  // namespace sheetora::layout
