// The linear programme over sheet layouts (Gilmore and Gomory), solved by column generation on
// CLP, with the per-layout costs in it, and the integer plan chosen over the layouts it found.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "layout/gang/budget.h"
#include "layout/gang/model.h"
#include "layout/gang/pricing.h"

namespace sheetora::layout::gang {

/// What a plan pays: a sheet per run, `per_layout` (makeready and setup) per layout used.
struct Costs {
  double per_layout = 0;
  int max_layouts = 20;
};

/// The most runs any plan needs of a pattern: past them every item on it is already met by
/// this pattern alone, so fewer runs make a cheaper plan.
std::int64_t UsefulRuns(const Model& model, const Pattern& pattern);

struct Relaxation {
  std::vector<Pattern> pool;  ///< every pattern generated, the starting ones first
  double value = 0;           ///< the master programme's optimum over the pool
  /// A lower bound on the programme over every allowed layout, hence on any plan's cost.
  double bound = 0;
  /// The bound is the programme's optimum, proven by exact pricing.
  bool exact = false;
};

/// Column generation from `start` (which must hold every item somewhere). Without the exact
/// pricing the bound rests on the upper one, or on the area. With `decide`, it stops as soon as
/// the value is at most that or the bound above it.
Relaxation SolveRelaxation(const Model& model, const Costs& costs, std::vector<Pattern> start,
                           Pricers pricers, Budget& budget,
                           std::optional<double> decide = std::nullopt);

/// Whether no `layouts` sheet layouts together hold the model's quantities: proven when the
/// programme over every layout needs more sheets than that. False when unproven, the budget
/// spent included. The patterns it generates join `pool`.
bool ProvenBeyond(const Model& model, double layouts, std::vector<Pattern>& pool, Pricers pricers,
                  Budget& budget);

/// The best plan over `pool`: runs per pattern (0: unused), from an integer programme with
/// `max_layouts` and the per-layout cost, starting from the plan `start` (all 0: none); nullopt
/// when it found none.
std::optional<std::vector<std::int64_t>> IntegerPlan(const Model& model, const Costs& costs,
                                                     const std::vector<Pattern>& pool,
                                                     const std::vector<std::int64_t>& start,
                                                     Budget& budget);

/// The least cost a plan can have, given a lower bound on the relaxation's value: the sheets
/// are whole and so are the layouts.
double RoundBound(double relaxation, const Costs& costs);

}  // namespace sheetora::layout::gang
