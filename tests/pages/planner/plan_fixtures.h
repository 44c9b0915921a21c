// A small plan made by hand, with a cut program and a job, so the planner's output can be
// checked against figures known in advance; and a counter of matches in the output.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "layout/layout.h"
#include "pages/planner/messages.h"

namespace sheetora::planner {

constexpr layout::Micrometres kMm = layout::kMicrometresPerMm;

/// The page's default speech, and English in inches.
inline Locale Chinese() { return {Languages()[0], Unit::kMm}; }
inline Locale EnglishInInches() { return {Languages()[1], Unit::kIn}; }

/// The fields of "name=value&name=value", split as they are (no decoding).
inline std::vector<std::pair<std::string, std::string>> Q(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> fields;
  while (!text.empty()) {
    const std::string_view field = text.substr(0, text.find('&'));
    const auto equals = field.find('=');
    fields.emplace_back(field.substr(0, equals),
                        equals == std::string_view::npos ? "" : field.substr(equals + 1));
    text.remove_prefix(std::min(text.size(), field.size() + 1));
  }
  return fields;
}

/// How often `needle` occurs in `text`.
inline std::size_t Occurrences(const std::string& text, std::string_view needle) {
  std::size_t n = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

/// Runs a poppler tool on the PDF ("pdftotext -layout {} -") and answers what it printed; empty
/// when the tool is missing, which fails the test: scripts/install-deps.sh --test installs it.
inline std::string Poppler(const std::string& pdf, std::string command) {
  const auto file = std::filesystem::temp_directory_path() /
                    ("planner-test-" + std::to_string(::getpid()) + ".pdf");
  std::ofstream(file, std::ios::binary) << pdf;
  std::string out;
  std::string quoted = "'";
  quoted.append(file.string()).append("'");
  command.replace(command.find("{}"), 2, quoted).append(" 2>/dev/null");
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    ::pclose(pipe);
  }
  std::filesystem::remove(file);
  return out;
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
  using layout::Micrometres;
  const auto node = [](int id, CutKind kind, Micrometres x, Micrometres y, Micrometres length,
                       Micrometres width, std::optional<char> axis = {},
                       std::vector<Micrometres> at = {}, std::vector<int> parts = {}) {
    for (auto& p : at) p *= kMm;
    return layout::CutNode{id,   x * kMm, y * kMm,       length * kMm,    width * kMm,
                           kind, axis,    std::move(at), std::move(parts)};
  };
  const CutKind stack = CutKind::kStack, piece = CutKind::kPiece, waste = CutKind::kWaste;
  return {
      .ups = 4,
      .bound = 4,
      .proof = layout::Proof::kOptimal,
      .utilisation = 0.7714,
      .blocks = {{.x = 5 * kMm, .y = 10 * kMm, .columns = 2, .rows = 2}},
      .cuts =
          std::vector<layout::CutNode>{
              node(0, stack, 0, 0, 100, 70, 'y', {10}, {1, 2}), node(1, waste, 0, 0, 100, 10),
              node(2, stack, 0, 10, 100, 60, 'x', {5, 50, 95}, {3, 4, 5, 6}),
              node(3, waste, 0, 10, 5, 60), node(4, stack, 5, 10, 45, 60, 'y', {30}, {7, 8}),
              node(7, piece, 5, 10, 45, 30), node(8, piece, 5, 40, 45, 30),
              node(5, stack, 50, 10, 45, 60, 'y', {30}, {9, 10}), node(9, piece, 50, 10, 45, 30),
              node(10, piece, 50, 40, 45, 30), node(6, waste, 95, 10, 5, 60)},
      .job = layout::JobAnswer{.run_sheets = 1250,
                               .press_sheets = 1313,
                               .per_parent = 8,
                               .parent_sheets = 165,
                               .weight_kg = 22.268,
                               .cost = 133.61,
                               .paper_utilisation = 0.4675},
  };
}

}  // namespace sheetora::planner
