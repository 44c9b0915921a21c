#include "calc/layout_search.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>

#include "calc/linear_floor.h"
#include "runtime/value.h"

namespace sheetora {
namespace {

using i64 = std::int64_t;
using i128 = Int128;

constexpr i64 kMaxInt32 = std::numeric_limits<std::int32_t>::max();

// ---------------------------------------------------------------------------------------------
// Page-value arithmetic on doubles. Every number a search handles is a double or a 32-bit
// integer, and integer results that leave the 32-bit range become doubles, so doubles with the
// page's checks give the page's values: a result beyond the double range is an overflow.

double Checked(double d) {
  if (!std::isfinite(d)) throw RuntimeError::Overflow();
  return d;
}
double Add(double a, double b) { return Checked(a + b); }
double Sub(double a, double b) { return Checked(a - b); }
double Mul(double a, double b) { return Checked(a * b); }
double Div(double a, double b) { return Checked(a / b); }  // b is a loop's step: above 0
// a \ b: both operands rounded half to even into the 32-bit range, the quotient truncated.
double WholeDiv(double a, double b) {
  const i64 x = RoundToInt32(a);
  const i64 y = RoundToInt32(b);
  if (y == 0) throw RuntimeError::DivisionByZero();
  return static_cast<double>(x / y);
}
double Drawn(double extent, const LayoutScale& scale) {
  if (!scale) throw RuntimeError::TypeMismatch();
  return Mul(extent, *scale);
}
double CountIf(bool nonempty) { return nonempty ? 1 : 0; }

bool Continues(double counter, double end, double step) { return step > 0 && counter <= end; }

// Assigns outputs in order and keeps the count of those that ever held a value.
class Assigner {
 public:
  explicit Assigner(int& written) : written_(written) {}
  void operator()(double& output, double value) {
    output = value;
    if (++index_ > written_) written_ = index_;
  }

 private:
  int& written_;
  int index_ = 0;
};

// One improvement of the four-block search at (i, j) with the carried split kstar. Each block's
// counts come first, then its drawn sizes from those counts.
void AssignFourBlockLayout(FourBlockResult& r, double total, double ok_piece, double i, double j,
                           double kstar, const LayoutSizes& s, const LayoutScale& scale) {
  const double L = s.PaperL, W = s.PaperW, p = s.PL, q = s.PW;
  Assigner put(r.written);
  r.KNum = total;
  put(r.okPiece, ok_piece);
  put(r.okax, i);
  put(r.okay, j);
  put(r.LT.TabCol, Div(i, p));
  put(r.LT.TabRow, Div(j, q));
  put(r.LT.TabW, std::floor(Drawn(i, scale)));
  put(r.LT.TabH, std::floor(Drawn(j, scale)));
  put(r.LB.TabCol, WholeDiv(i, q));
  put(r.LB.TabRow, WholeDiv(Sub(W, j), p));
  put(r.LB.TabW, std::floor(Drawn(Mul(r.LB.TabCol, q), scale)));
  put(r.LB.TabH, std::floor(Drawn(Mul(r.LB.TabRow, p), scale)));
  put(r.RT.TabCol, WholeDiv(Sub(L, i), q));
  put(r.RT.TabRow, WholeDiv(kstar, p));
  put(r.RT.TabW, std::floor(Drawn(Mul(r.RT.TabCol, q), scale)));
  put(r.RT.TabH, std::floor(Drawn(Mul(r.RT.TabRow, p), scale)));
  put(r.RB.TabCol, WholeDiv(Sub(L, i), p));
  put(r.RB.TabRow, WholeDiv(Sub(W, kstar), q));
  put(r.RB.TabW, std::floor(Drawn(Mul(r.RB.TabCol, p), scale)));
  put(r.RB.TabH, std::floor(Drawn(Mul(r.RB.TabRow, q), scale)));
}

struct TwoBlockCounts {
  double top, bot;
};

// The two bands' pieces when the upper band is y high.
TwoBlockCounts CountTwoBlocks(double y, const LayoutSizes& s) {
  const double top = Mul(Div(y, s.PW), WholeDiv(s.PaperL, s.PL));
  const double bot = Mul(WholeDiv(Sub(s.PaperW, y), s.PL), WholeDiv(s.PaperL, s.PW));
  return {top, bot};
}

// One improvement of the two-block search with the upper band y high.
void AssignTwoBlockLayout(TwoBlockResult& r, double y, TwoBlockCounts n, const LayoutSizes& s,
                          const LayoutScale& scale) {
  const double L = s.PaperL, W = s.PaperW, p = s.PL, q = s.PW;
  Assigner put(r.written);
  r.KNum = Add(n.top, n.bot);
  put(r.Top.TabRow, Div(y, q));
  put(r.Top.TabCol, WholeDiv(L, p));
  put(r.Top.TabW, Drawn(Mul(r.Top.TabCol, p), scale));
  put(r.Top.TabH, Drawn(Mul(r.Top.TabRow, q), scale));
  put(r.Bot.TabRow, WholeDiv(Sub(W, y), p));
  put(r.Bot.TabCol, WholeDiv(L, q));
  put(r.Bot.TabW, Drawn(Mul(r.Bot.TabCol, q), scale));
  put(r.Bot.TabH, Drawn(Mul(r.Bot.TabRow, p), scale));
  put(r.okPiece, CountIf(n.top > 0) + CountIf(n.bot > 0));
}

// ---------------------------------------------------------------------------------------------
// The four-block search on whole sizes.
//
// With i = a*PL and j = b*PW, a row a of the loops (all j of one i) totals
//   T(a, b) = F_a(b) + best(a),
//   F_a(b)  = a*b + floor(i/PW) * floor((PaperW - b*PW) / PL)         (left column)
//   best(a) = max over c of floor(R/PW)*c + floor(R/PL)*floor((PaperW - c*PL) / PW), R = PaperL - i
// Both maximisations are MaxLinearFloor. Across rows: for a fixed height b and split c the count
// is affine in a along any arithmetic progression of widths on which floor(a*PL / PW) and
// floor((PaperL - a*PL) / PW) are affine, that is, where each floor's carry stays the same from
// step to step. A row's total, the largest of such counts, is convex along such a group, so the
// first row of a group that reaches the group's largest total is one of the group's two ends.
// With a step from the continued fraction of PL / PW the carries rarely change: the groups are
// few (whole residue classes when the step is PW / gcd(PL, PW)), and only their ends are
// evaluated.
//
// Counts are exact integers. The page's doubles would round totals from 2^53 pieces on, but the
// loops need more than 2^53 steps before any total gets there.
class FourBlockFast {
 public:
  FourBlockFast(i64 L, i64 W, i64 p, i64 q)
      : L_(L), W_(W), p_(p), q_(q), rows_(L / p), row_length_(W / q), splits_(W / p) {}

  struct Row {
    i128 total = 0;
    i64 b = 1;       // first best height of the left upper block, in pieces
    i64 c = 0;       // first best split of the right column, in pieces; 0 if it holds none
    int blocks = 0;  // non-empty blocks of the row's best layout
  };

  Row Evaluate(i64 a, i64 b_fixed = 0) const {
    Row row;
    const i64 i = a * p_;
    const i64 u = i / q_;
    if (b_fixed > 0) {
      row.b = b_fixed;
    } else {
      row.b = 1 + MaxLinearFloor(a, u, W_ - q_, q_, p_, row_length_ - 1).x;
    }
    const i128 A = static_cast<i128>(a) * row.b;
    const i128 B = static_cast<i128>(u) * ((W_ - row.b * q_) / p_);
    row.total = A + B;
    row.blocks = (A > 0) + (B > 0);
    if (splits_ > 0) {
      const i64 R = L_ - i;
      const i64 cols_turned = R / q_;
      const i64 cols_lengthwise = R / p_;
      const LinearFloorMax right =
          MaxLinearFloor(cols_turned, cols_lengthwise, W_ - p_, p_, q_, splits_ - 1);
      const i128 best = cols_turned + right.value;
      if (best > 0) {
        row.c = 1 + right.x;
        const i128 C = static_cast<i128>(cols_turned) * row.c;
        const i128 D = static_cast<i128>(cols_lengthwise) * ((W_ - row.c * p_) / q_);
        row.total += best;
        row.blocks += (C > 0) + (D > 0);
      }
    }
    return row;
  }

  /// The step of the groups of rows that BestRow walks, or 0 to evaluate every row. The steps
  /// tried are the denominators of the continued fraction of PL / PW, from 1 (consecutive
  /// widths) to PW / gcd (whole residue classes): a step d makes about d classes, each broken
  /// wherever a floor's carry changes, about every PW / min(d*PL mod PW, -d*PL mod PW) steps.
  i64 GroupStep(i64 last_row) const {
    i64 best_step = 0;
    double best_cost = static_cast<double>(last_row);
    const double floors = splits_ > 0 ? 2 : 1;
    i64 num = q_, den = p_ % q_, step = 1, previous = 0;
    while (step <= last_row) {
      const i64 drift = step * p_ % q_;
      const double breaks = static_cast<double>(last_row) * floors *
                            static_cast<double>(std::min(drift, q_ - drift)) /
                            static_cast<double>(q_);
      const double cost = 2 * (static_cast<double>(step) + breaks);
      if (cost < best_cost) {
        best_cost = cost;
        best_step = step;
      }
      if (den == 0) break;
      const i64 quotient = num / den;
      num %= den;
      std::swap(num, den);
      previous = std::exchange(step, quotient * step + previous);
    }
    return best_step;
  }

  /// The first row a in [1, last_row] with the largest total.
  i64 BestRow(i64 last_row) const {
    i64 best_a = 0;
    i128 best_total = -1;
    const auto consider = [&](i64 a) {
      const i128 total = Evaluate(a).total;
      if (total > best_total || (total == best_total && a < best_a)) {
        best_total = total;
        best_a = a;
      }
    };
    const i64 step = GroupStep(last_row);
    if (step == 0) {
      for (i64 a = 1; a <= last_row; ++a) consider(a);
      return best_a;
    }
    // Walk each residue class of widths modulo `step` in groups along which neither floor
    // changes its carry: a*PL mod PW moves by `drift` per step, PaperL - a*PL mod PW against it.
    const i64 drift = step * p_ % q_;
    for (i64 first = 1; first <= std::min(step, last_row); ++first) {
      for (i64 a = first; a <= last_row;) {
        i64 steps = (last_row - a) / step;
        if (drift != 0) {
          const i64 w = a * p_ % q_;
          steps = std::min(steps, w + drift < q_ ? (q_ - 1 - w) / drift : w / (q_ - drift));
          if (splits_ > 0) {
            const i64 r = (L_ - a * p_) % q_;
            steps = std::min(steps, r >= drift ? r / drift : (drift - r - 1) / (q_ - drift) + 1);
          }
        }
        consider(a);
        consider(a + steps * step);
        a += (steps + 1) * step;
      }
    }
    return best_a;
  }

  /// The split carried into row a: its own when its right column holds pieces, else that of the
  /// last earlier row whose right column did (the right column only narrows as a grows), else 0.
  i64 CarriedSplit(i64 a, const Row& row) const {
    if (row.c > 0) return row.c * p_;
    if (splits_ == 0) return 0;
    // The right column holds a piece when it is at least PW wide (turned pieces above), or at
    // least PL wide with room for a lengthwise row below the first split.
    const i64 min_width = W_ - p_ >= q_ ? std::min(p_, q_) : q_;
    if (L_ < min_width) return 0;
    const i64 last = std::min((L_ - min_width) / p_, a - 1);
    return last >= 1 ? Evaluate(last).c * p_ : 0;
  }

  i64 rows() const { return rows_; }

 private:
  i64 L_, W_, p_, q_;
  i64 rows_;        // left-column widths
  i64 row_length_;  // left upper heights per width
  i64 splits_;      // right-column splits
};

double ToDouble(i128 v) { return static_cast<double>(v); }

// floor(log2 v) for v > 0.
int Binade(i128 v) {
  const auto high = static_cast<std::uint64_t>(v >> 64);
  return high != 0 ? 127 - __builtin_clzll(high)
                   : 63 - __builtin_clzll(static_cast<std::uint64_t>(v));
}

// The two-block search's first best height m (in pieces) where the band totals
//   f(m) = cols_top*m + cols_bot*floor((PaperW - m*PW) / PL),  m = 1..heights,
// reach 2^53 and the page's double sums round: the literal compares fl(fl(top) + fl(bot)).
// Only heights whose exact total lies within the rounding error of the exact maximum `best` can
// win. Along a residue class of m modulo PL/g (g = gcd(PL, PW)) the lower band loses PW/g rows
// per step, so f is linear there with the same slope in every class. Where the slope is not 0
// the candidates of a class are a short stretch at one end. Where it is 0 the exact total is
// constant along the class and the rounded one depends only on the two products modulo twice
// their rounding unit; while neither product leaves its binade that repeats with a period of at
// most a few thousand steps, so one period of each binade stretch suffices.
i64 FirstRoundedBandMax(i64 cols_top, i64 cols_bot, i64 W, i64 p, i64 q, i64 heights, i128 best,
                        i128 bound) {
  const i128 tolerance = (bound >> 49) + 2;  // twice the rounding error, generously
  const i64 g = std::gcd(p, q);
  const i64 period = p / g, rows_drop = q / g;
  const i128 top_step = static_cast<i128>(cols_top) * period;
  const i128 bot_step = static_cast<i128>(cols_bot) * rows_drop;
  const i128 slope = top_step - bot_step;
  const double top_cols = static_cast<double>(cols_top), bot_cols = static_cast<double>(cols_bot);
  const i128 exact_limit = i128{1} << 53;

  double best_sum = 0;
  i64 best_m = 0;
  for (i64 first = 1; first <= std::min(period, heights); ++first) {
    const i64 first_rows = (W - first * q) / p;
    const i64 last_step = (heights - first) / period;
    const auto m_at = [&](i64 k) { return first + k * period; };
    const auto top_at = [&](i64 k) { return static_cast<i128>(cols_top) * m_at(k); };
    const auto bot_at = [&](i64 k) {
      return static_cast<i128>(cols_bot) * (first_rows - k * rows_drop);
    };
    const auto scan = [&](i64 from, i64 to) {
      for (i64 k = from; k <= to; ++k) {
        const double sum = static_cast<double>(m_at(k)) * top_cols +
                           static_cast<double>(first_rows - k * rows_drop) * bot_cols;
        if (sum > best_sum || (sum == best_sum && m_at(k) < best_m)) {
          best_sum = sum;
          best_m = m_at(k);
        }
      }
    };
    const i128 f0 = top_at(0) + bot_at(0);
    const i128 floor_total = best - tolerance;
    if (slope > 0) {
      const i128 need = floor_total - f0;
      const i128 from = need <= 0 ? 0 : (need + slope - 1) / slope;
      if (from <= last_step) scan(static_cast<i64>(from), last_step);
    } else if (slope < 0) {
      if (f0 < floor_total) continue;
      scan(0, static_cast<i64>(std::min<i128>(last_step, (f0 - floor_total) / -slope)));
    } else if (f0 >= floor_total) {
      for (i64 k = 0; k <= last_step;) {
        i64 end = last_step;
        i64 repeat = 1;
        // A product below 2^53 is exact; above, it keeps its rounding while it stays in its
        // binade [2^e, 2^(e+1)), where only its value modulo 2^(e-51) matters.
        const auto follow = [&](i128 value, i128 step, bool rising) {
          if (step == 0 || (!rising && value < exact_limit)) return;
          if (value < exact_limit) {
            end = static_cast<i64>(
                std::min<i128>(end, k + (exact_limit - value + step - 1) / step - 1));
            return;
          }
          const int e = Binade(value);
          if (rising) {
            end = static_cast<i64>(
                std::min<i128>(end, k + ((i128{1} << (e + 1)) - value + step - 1) / step - 1));
          } else {
            end = static_cast<i64>(std::min<i128>(end, k + (value - (i128{1} << e)) / step));
          }
          const i64 unit = i64{1} << (e - 51);
          repeat = std::max(repeat, unit / std::gcd(static_cast<i64>(step % unit), unit));
        };
        follow(top_at(k), top_step, true);
        follow(bot_at(k), bot_step, false);
        scan(k, std::min(end, k + repeat - 1));
        k = end + 1;
      }
    }
  }
  return best_m;
}

}  // namespace

bool LoopRuns(double start, double end, double step) { return Continues(start, end, step); }

bool FastSearchApplies(const LayoutSizes& s, const LayoutScale& scale) {
  const auto whole_positive = [](double x) {
    return std::isfinite(x) && x >= 1 && std::floor(x) == x;
  };
  if (!(whole_positive(s.PaperL) && whole_positive(s.PaperW) && whole_positive(s.PL) &&
        whole_positive(s.PW))) {
    return false;
  }
  // Every drawn extent is a whole number of mm no larger than the sheet's longer side, and
  // scaling is monotone: when that side's drawn size is finite, so is every other, and no
  // improvement but the first can fail.
  return !scale || std::isfinite(std::max(s.PaperL, s.PaperW) * std::fabs(*scale));
}

FourBlockResult SearchFourBlocksLiteral(const LayoutSizes& s, const LayoutScale& scale) {
  FourBlockResult r;
  const double L = s.PaperL, W = s.PaperW, p = s.PL, q = s.PW;
  try {
    double kstar = 0;
    for (double i = p; Continues(i, L, p); i = Add(i, p)) {
      for (double j = q; Continues(j, W, q); j = Add(j, q)) {
        const double A = Mul(Div(i, p), Div(j, q));
        const double B = Mul(WholeDiv(Sub(W, j), p), WholeDiv(i, q));
        double best = 0;
        double n = 0;
        for (double k = p; Continues(k, W, p); k = Add(k, p)) {
          const double C = Mul(WholeDiv(Sub(L, i), q), WholeDiv(k, p));
          const double D = Mul(WholeDiv(Sub(W, k), q), WholeDiv(Sub(L, i), p));
          if (Add(C, D) > best) {
            best = Add(C, D);
            n = CountIf(C > 0) + CountIf(D > 0);
            kstar = k;
          }
        }
        const double total = Add(Add(A, B), best);
        if (total > r.KNum) {
          AssignFourBlockLayout(r, total, CountIf(A > 0) + CountIf(B > 0) + n, i, j, kstar, s,
                                scale);
        }
      }
    }
  } catch (const RuntimeError& e) {
    r.error = e;
  }
  return r;
}

FourBlockResult SearchFourBlocksFast(const LayoutSizes& s, const LayoutScale& scale) {
  FourBlockResult r;
  const double L = s.PaperL, W = s.PaperW, p = s.PL, q = s.PW;
  if (!LoopRuns(p, L, p) || !LoopRuns(q, W, q)) return r;
  // Where the loops' whole-number divisions first leave the 32-bit range. At the first (i, j):
  // the left lower block's divisions; then the right column's first split loop, whose operands
  // are largest there and the same for every (i, j).
  const double M = kMaxInt32;
  if (W - q > M || p > M || q > M) {
    r.error = RuntimeError::Overflow();
    return r;
  }
  const i64 Wi = static_cast<i64>(W), pi = static_cast<i64>(p), qi = static_cast<i64>(q);
  const bool splits_run = pi <= Wi;
  if (splits_run && (L - p > M || Wi - pi > M || Wi / pi * pi > M)) {
    r.error = RuntimeError::Overflow();
    return r;
  }
  try {
    // The first (i, j) always improves on nothing. Its layout is assigned by the same steps as
    // any other, and it is where a division of the right column first sees the whole sheet
    // length, and where a split carried from no improvement counts from 0. Without splits the
    // right column counts nothing and PaperL is not yet known to fit an integer.
    if (splits_run) {
      const FourBlockFast::Row first =
          FourBlockFast(static_cast<i64>(L), Wi, pi, qi).Evaluate(1, 1);
      AssignFourBlockLayout(r, ToDouble(first.total), first.blocks, p, q,
                            static_cast<double>(first.c * pi), s, scale);
    } else {
      const i64 lower_pieces = (Wi - qi) / pi * (pi / qi);
      AssignFourBlockLayout(r, ToDouble(1 + static_cast<i128>(lower_pieces)),
                            1 + CountIf(lower_pieces > 0), p, q, 0, s, scale);
    }
    // Past this point PaperL - PL is inside the 32-bit range, so every size fits 64-bit integers.
    const FourBlockFast search(static_cast<i64>(L), Wi, pi, qi);
    const i64 last_row = std::min(search.rows(), kMaxInt32 / pi);
    const i64 a = search.BestRow(last_row);
    const FourBlockFast::Row row = search.Evaluate(a);
    AssignFourBlockLayout(r, ToDouble(row.total), row.blocks, static_cast<double>(a * pi),
                          static_cast<double>(row.b * qi),
                          static_cast<double>(search.CarriedSplit(a, row)), s, scale);
    // The first width beyond the 32-bit range fails in the left lower block's division.
    if (search.rows() > last_row) throw RuntimeError::Overflow();
  } catch (const RuntimeError& e) {
    r.error = e;
  }
  return r;
}

FourBlockResult SearchFourBlocks(const LayoutSizes& s, const LayoutScale& scale) {
  return FastSearchApplies(s, scale) ? SearchFourBlocksFast(s, scale)
                                     : SearchFourBlocksLiteral(s, scale);
}

TwoBlockResult SearchTwoBlocksLiteral(const LayoutSizes& s, const LayoutScale& scale) {
  TwoBlockResult r;
  try {
    for (double y = s.PW; Continues(y, s.PaperW, s.PW); y = Add(y, s.PW)) {
      const TwoBlockCounts n = CountTwoBlocks(y, s);
      if (Add(n.top, n.bot) > r.KNum) AssignTwoBlockLayout(r, y, n, s, scale);
    }
  } catch (const RuntimeError& e) {
    r.error = e;
  }
  return r;
}

TwoBlockResult SearchTwoBlocksFast(const LayoutSizes& s, const LayoutScale& scale) {
  TwoBlockResult r;
  const double L = s.PaperL, W = s.PaperW, p = s.PL, q = s.PW;
  if (!LoopRuns(q, W, q)) return r;
  const double M = kMaxInt32;
  // The first height already divides the sheet's length and the largest remaining width.
  if (L > M || p > M || q > M || W - q > M) {
    r.error = RuntimeError::Overflow();
    return r;
  }
  const i64 Li = static_cast<i64>(L), Wi = static_cast<i64>(W);
  const i64 pi = static_cast<i64>(p), qi = static_cast<i64>(q);
  const i64 cols_top = Li / pi, cols_bot = Li / qi, heights = Wi / qi;
  // The band totals cols_top*m + cols_bot*floor((PaperW - m*PW) / PL) for m = 1..heights are
  // exact in doubles below 2^53; beyond, the page's sums round, and the first rounded maximum is
  // sought among the heights whose exact totals come close to the exact maximum.
  const i128 bound =
      static_cast<i128>(cols_top) * heights + static_cast<i128>(cols_bot) * ((Wi - qi) / pi);
  const LinearFloorMax best = MaxLinearFloor(cols_top, cols_bot, Wi - qi, qi, pi, heights - 1);
  if (cols_top + best.value == 0) return r;
  const i64 best_m = bound < (i128{1} << 53)
                         ? 1 + best.x
                         : FirstRoundedBandMax(cols_top, cols_bot, Wi, pi, qi, heights,
                                               cols_top + best.value, bound);
  try {
    // Any layout at all is first found at the lowest band (the totals fall with the height once
    // the upper band holds nothing), and assigned by the same steps as the best one.
    AssignTwoBlockLayout(r, q, CountTwoBlocks(q, s), s, scale);
    const double y = static_cast<double>(best_m * qi);
    if (best_m != 1) AssignTwoBlockLayout(r, y, CountTwoBlocks(y, s), s, scale);
  } catch (const RuntimeError& e) {
    r.error = e;
  }
  return r;
}

TwoBlockResult SearchTwoBlocks(const LayoutSizes& s, const LayoutScale& scale) {
  return FastSearchApplies(s, scale) ? SearchTwoBlocksFast(s, scale)
                                     : SearchTwoBlocksLiteral(s, scale);
}

}  // namespace sheetora
