// The layout's vocabulary: lengths, rectangles, blocks of identical pieces and where each piece
// of a block lies. Every search, the cut program, the planner's drawing and the gang and press
// work take a block's geometry from here, so that it is written once.
#pragma once

#include <chrono>
#include <cstdint>

namespace sheetora::layout {

using Micrometres = std::int64_t;

inline constexpr Micrometres kMicrometresPerMm = 1000;

/// The clock of deadlines and elapsed times.
using Clock = std::chrono::steady_clock;

struct Size {
  Micrometres length = 0;  ///< along x
  Micrometres width = 0;   ///< along y
  bool operator==(const Size&) const = default;
};

/// Which ways round a piece may lie.
enum class Orientation {
  kBoth,     ///< either way
  kUpright,  ///< its length along x only
  kTurned,   ///< its width along x only
};

/// An axis-aligned rectangle: corner (x, y), `length` along x and `width` along y.
struct Rect {
  Micrometres x = 0, y = 0, length = 0, width = 0;
  [[nodiscard]] Micrometres x_end() const { return x + length; }
  [[nodiscard]] Micrometres y_end() const { return y + width; }
  bool operator==(const Rect&) const = default;
};

/// columns x rows identical pieces on a regular grid, the first with its corner at (x, y), the
/// others one pitch apart. In an answer (x, y) is the first piece's trim corner; inside the
/// searches, which fold bleed and gutter into the pieces, it is the corner of its cell.
struct Block {
  Micrometres x = 0, y = 0;
  std::int64_t columns = 0, rows = 0;
  bool turned = false;  ///< the piece's width along x
  bool operator==(const Block&) const = default;
};

/// How pieces repeat in a block: the trimmed piece, the bleed printed around each, and the least
/// gap between neighbouring bled pieces.
struct Spacing {
  Size piece;
  Micrometres bleed = 0;
  Micrometres gutter = 0;

  /// A piece's trim sides along x and y as it lies.
  [[nodiscard]] Size Trim(bool turned) const {
    return turned ? Size{piece.width, piece.length} : piece;
  }
  /// From one piece of a block to the next, along x and along y: the piece's side along that
  /// axis plus twice the bleed plus the gutter.
  [[nodiscard]] Size Pitch(bool turned) const {
    const Size trim = Trim(turned);
    return {trim.length + 2 * bleed + gutter, trim.width + 2 * bleed + gutter};
  }
  /// The trim rectangle of the piece in column i and row j of an answer's block.
  [[nodiscard]] Rect TrimRect(const Block& block, std::int64_t i, std::int64_t j) const {
    const Size trim = Trim(block.turned), pitch = Pitch(block.turned);
    return {block.x + i * pitch.length, block.y + j * pitch.width, trim.length, trim.width};
  }
  /// That piece's trim rectangle with its bleed.
  [[nodiscard]] Rect BledRect(const Block& block, std::int64_t i, std::int64_t j) const {
    const Rect trim = TrimRect(block, i, j);
    return {trim.x - bleed, trim.y - bleed, trim.length + 2 * bleed, trim.width + 2 * bleed};
  }
  /// What a whole block of an answer prints on: its first piece's bled rectangle to its last's.
  [[nodiscard]] Rect BledExtent(const Block& block) const {
    const Size pitch = Pitch(block.turned);
    return {block.x - bleed, block.y - bleed, block.columns * pitch.length - gutter,
            block.rows * pitch.width - gutter};
  }
};

}  // namespace sheetora::layout
