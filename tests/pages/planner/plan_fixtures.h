// A small plan made by hand, with a cut program and a job, so the planner's output can be
// checked against figures known in advance; and a counter of matches in the output.
#pragma once

#include <string>
#include <string_view>

#include "layout/layout.h"

namespace sheetora::planner::testing {

constexpr layout::Micrometres kMm = layout::kMicrometresPerMm;

/// How often `needle` occurs in `text`.
inline std::size_t Occurrences(const std::string& text, std::string_view needle) {
  std::size_t n = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

/// 2 x 2 pieces of 45 x 30 on a 100 x 70 sheet with a 10 mm gripper and a 5 mm left margin.
inline layout::Request HandMadeRequest() {
  return {.sheet = {100 * kMm, 70 * kMm},
          .piece = {45 * kMm, 30 * kMm},
          .margins = {.gripper = 10 * kMm, .left = 5 * kMm},
          .job = layout::Job{.quantity = 5000}};
}

/// The gripper strip first, then the columns, then each column into its two pieces: six cuts.
inline layout::Answer HandMadeAnswer() {
  using layout::CutKind;
  const auto stack = [](int id, layout::Micrometres x, layout::Micrometres y,
                        layout::Micrometres length, layout::Micrometres width, char axis,
                        std::vector<layout::Micrometres> at, std::vector<int> parts) {
    return layout::CutNode{
        id, x, y, length, width, CutKind::kStack, axis, std::move(at), std::move(parts)};
  };
  const auto leaf = [](int id, CutKind kind, layout::Micrometres x, layout::Micrometres y,
                       layout::Micrometres length, layout::Micrometres width) {
    return layout::CutNode{id, x, y, length, width, kind, std::nullopt, {}, {}};
  };
  return {
      .ups = 4,
      .bound = 4,
      .proof = layout::Proof::kOptimal,
      .utilisation = 0.7714,
      .blocks = {{.x = 5 * kMm, .y = 10 * kMm, .columns = 2, .rows = 2}},
      .cuts =
          std::vector<layout::CutNode>{
              stack(0, 0, 0, 100 * kMm, 70 * kMm, 'y', {10 * kMm}, {1, 2}),
              leaf(1, CutKind::kWaste, 0, 0, 100 * kMm, 10 * kMm),
              stack(2, 0, 10 * kMm, 100 * kMm, 60 * kMm, 'x', {5 * kMm, 50 * kMm, 95 * kMm},
                    {3, 4, 5, 6}),
              leaf(3, CutKind::kWaste, 0, 10 * kMm, 5 * kMm, 60 * kMm),
              stack(4, 5 * kMm, 10 * kMm, 45 * kMm, 60 * kMm, 'y', {30 * kMm}, {7, 8}),
              leaf(7, CutKind::kPiece, 5 * kMm, 10 * kMm, 45 * kMm, 30 * kMm),
              leaf(8, CutKind::kPiece, 5 * kMm, 40 * kMm, 45 * kMm, 30 * kMm),
              stack(5, 50 * kMm, 10 * kMm, 45 * kMm, 60 * kMm, 'y', {30 * kMm}, {9, 10}),
              leaf(9, CutKind::kPiece, 50 * kMm, 10 * kMm, 45 * kMm, 30 * kMm),
              leaf(10, CutKind::kPiece, 50 * kMm, 40 * kMm, 45 * kMm, 30 * kMm),
              leaf(6, CutKind::kWaste, 95 * kMm, 10 * kMm, 5 * kMm, 60 * kMm),
          },
      .job = layout::JobAnswer{.run_sheets = 1250,
                               .press_sheets = 1313,
                               .per_parent = 8,
                               .parent_sheets = 165,
                               .weight_kg = 22.268,
                               .cost = 133.61,
                               .paper_utilisation = 0.4675},
  };
}

}  // namespace sheetora::planner::testing
