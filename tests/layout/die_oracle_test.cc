// Die cutting and the bounds against an integer programme solved by CBC (skipped without it), on
// instances too large for brute force: one binary per raster position and orientation, and at
// most one piece over each raster point, which is exact because two pieces at raster points
// overlap exactly when both cover the corner of their intersection.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "layout/pack.h"

namespace sheetora::layout {
namespace {

std::vector<int> Raster(int limit, int a, int b) {
  std::set<int> points;
  for (int i = 0; i * a <= limit; ++i)
    for (int j = 0; i * a + j * b <= limit; ++j) points.insert(i * a + j * b);
  return {points.begin(), points.end()};
}

// The proven optimum, or nothing when CBC did not prove one well inside its time limit.
std::optional<int> Optimum(int X, int Y, int a, int b) {
  const std::vector<int> xs = Raster(X, a, b), ys = Raster(Y, a, b);
  struct Placement {
    int x, y, w, h;
  };
  std::vector<Placement> placements;
  for (const int x : xs)
    for (const int y : ys)
      for (const auto& [w, h] : {std::pair{a, b}, std::pair{b, a}})
        if (x + w <= X && y + h <= Y) placements.push_back({x, y, w, h});
  const auto dir = std::filesystem::temp_directory_path() /
                   ("sheetora-oracle-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream lp(dir / "p.lp");
    lp << "Maximize\n obj:";
    for (std::size_t n = 0; n < placements.size(); ++n) lp << " + x" << n;
    lp << "\nSubject To\n";
    for (const int s : xs) {
      for (const int t : ys) {
        std::string row;
        for (std::size_t n = 0; n < placements.size(); ++n) {
          const Placement& p = placements[n];
          if (p.x <= s && s < p.x + p.w && p.y <= t && t < p.y + p.h)
            row += " + x" + std::to_string(n);
        }
        if (!row.empty()) lp << " c" << s << "_" << t << ":" << row << " <= 1\n";
      }
    }
    lp << "Binary\n";
    for (std::size_t n = 0; n < placements.size(); ++n) lp << " x" << n << "\n";
    lp << "End\n";
  }
  const std::string command =
      "cd " + dir.string() + " && cbc p.lp sec 10 solve solu s.txt > log.txt 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream solution(dir / "s.txt");
  std::string first;
  std::getline(solution, first);
  std::filesystem::remove_all(dir);
  // "Optimal - objective value 57.00000000"; a solve stopped by its limit says otherwise.
  const std::string optimal = "Optimal - objective value ";
  if (status != 0 || first.rfind(optimal, 0) != 0) return std::nullopt;
  return static_cast<int>(std::lround(std::stod(first.substr(optimal.size()))));
}

TEST(PackOracle, DieCutAndBoundsAgainstTheIntegerProgramme) {
  if (std::system("command -v cbc > /dev/null 2>&1") != 0) GTEST_SKIP() << "no cbc";
  std::vector<std::array<int, 4>> cases{{49, 28, 8, 3}, {43, 26, 7, 3}};
  std::mt19937 random(9);
  while (cases.size() < 10) {
    const int X = 15 + static_cast<int>(random() % 40), Y = 15 + static_cast<int>(random() % 30);
    const int a = 3 + static_cast<int>(random() % 9), b = 3 + static_cast<int>(random() % 9);
    if (a != b && X * Y <= 40 * a * b && X * Y >= 13 * a * b) cases.push_back({X, Y, a, b});
  }
  for (const auto& [X, Y, a, b] : cases) {
    SCOPED_TRACE(testing::Message() << X << " x " << Y << " with " << a << " x " << b);
    const std::optional<int> optimum = Optimum(X, Y, a, b);
    if (!optimum) continue;
    PackProblem p{.X = X, .Y = Y, .a = a, .b = b};
    EXPECT_GE(Pack(p).bound, *optimum);
    p.cut = CutMode::kDie;
    const PackResult r = Pack(p);
    EXPECT_EQ(r.ups, *optimum);  // up to about 40 pieces the searches find the optimum
    EXPECT_GE(r.bound, *optimum);
  }
}

}  // namespace
}  // namespace sheetora::layout
