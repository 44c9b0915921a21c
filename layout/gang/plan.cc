#include "layout/plan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <utility>

#include "layout/cut_program.h"
#include "layout/gang/bound.h"
#include "layout/gang/gang.h"
#include "layout/gang/master.h"
#include "layout/gang/model.h"
#include "layout/gang/pricing.h"
#include "layout/gang/single.h"
#include "layout/gang/two_runs.h"
#include "layout/job.h"
#include "layout/pack.h"

namespace sheetora::layout::gang {
namespace {

/// The steps a plan may take: they bound its work alike on every machine (at most about two
/// seconds of this machine's time, most plans far less); the time limit only cuts them short.
constexpr std::int64_t kPlanSteps = 400'000'000;
/// The largest table of the exact guillotine pricing (7 MB): a few sizes on the largest press
/// sheets need up to about half a million rectangles.
constexpr std::int64_t kMaxPricingCells = 600'000;
/// Cut programs beyond this many pieces are too long for anyone to follow.
constexpr std::int64_t kMaxCutProgramPieces = 5'000;
/// The cells of the pricing that only bounds: about this many rectangles.
constexpr double kCoarseCells = 40'000;
/// Groups of items tried as single-layout gangs for plans with a few layouts.
constexpr int kMaxGroupedItems = 30;

std::string ItemPath(std::size_t i, std::string_view field) {
  return "items[" + std::to_string(i) + "]" + (field.empty() ? "" : ".") + std::string(field);
}

/// The single-piece checks of a layout request built from the gang's shared fields, with the
/// fields renamed as the gang request names them.
std::optional<RequestError> CheckShared(const GangRequest& r) {
  Request shared{
      .sheet = r.sheet,
      .piece = {kMicrometresPerMm, kMicrometresPerMm},
      .bleed = r.bleed,
      .gutter = r.gutter,
      .margins = r.margins,
      .time_limit_ms = 1,
      .job = Job{.quantity = 1, .overs_percent = r.overs_percent, .makeready = r.makeready}};
  if (r.paper) {
    shared.job->parent = r.paper->parent;
    shared.job->grammage = r.paper->grammage;
    shared.job->price = r.paper->price;
  }
  std::optional<RequestError> error = Validate(shared);
  if (error && error->field.starts_with("job.")) {
    const std::string rest = error->field.substr(4);
    error->field = rest == "overs" || rest == "makeready" ? rest : "paper." + rest;
  }
  return error;
}

std::optional<RequestError> CheckItem(const GangRequest& r, std::size_t i) {
  const GangItem& item = r.items[i];
  const Request single{.sheet = r.sheet,
                       .piece = item.piece,
                       .bleed = item.bleed.value_or(r.bleed),
                       .gutter = r.gutter,
                       .margins = r.margins,
                       .time_limit_ms = 1};
  if (std::optional<RequestError> error = Validate(single)) {
    error->field =
        ItemPath(i, error->field.starts_with("piece.") ? error->field.substr(6) : error->field);
    return error;
  }
  // Ids are counted in characters, not bytes: continuation bytes of UTF-8 start no character.
  const auto characters =
      std::count_if(item.id.begin(), item.id.end(), [](char c) { return (c & 0xC0) != 0x80; });
  if (characters < 1 || characters > static_cast<std::ptrdiff_t>(kMaxIdLength)) {
    return RequestError{ErrorCode::kOutOfRange, "must be 1 to 64 characters", ItemPath(i, "id")};
  }
  if (item.quantity < 1 || item.quantity > kMaxItemQuantity) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 1000000000",
                        ItemPath(i, "quantity")};
  }
  return std::nullopt;
}

/// Whether every item has some way to lie on the printable area.
std::optional<RequestError> CheckFits(const GangRequest& request, const Model& model) {
  for (int i = 0; i < model.items(); ++i) {
    const bool fits = std::any_of(model.shapes.begin(), model.shapes.end(), [&](const Shape& s) {
      return s.item == i && s.x <= model.X && s.y <= model.Y;
    });
    if (!fits) {
      return RequestError{ErrorCode::kFitsNowhere,
                          "with its bleed, the item fits nowhere on the printable area in any "
                          "way its grain allows",
                          ItemPath(static_cast<std::size_t>(i), "length")};
    }
  }
  (void)request;
  return std::nullopt;
}

/// The grain of the coarse pricing's cells: about kCoarseCells rectangles of a sheet, at most
/// the least side.
Micrometres CoarseGrain(const Model& model) {
  Micrometres least = model.X;
  for (const Shape& s : model.shapes) least = std::min({least, s.x, s.y});
  const double grain =
      std::sqrt(static_cast<double>(model.X) * static_cast<double>(model.Y) / kCoarseCells);
  return std::clamp<Micrometres>(std::llround(grain), 1, least);
}

/// A plan in the plain problem: patterns and their runs.
struct Candidate {
  std::vector<Pattern> patterns;
  std::vector<std::int64_t> runs;
};

double CostOf(const Candidate& plan, const Costs& costs) {
  double cost = 0;
  for (const std::int64_t r : plan.runs) cost += static_cast<double>(r) + costs.per_layout;
  return cost;
}

std::int64_t Produced(const Candidate& plan, int item) {
  std::int64_t sum = 0;
  for (std::size_t p = 0; p < plan.patterns.size(); ++p)
    sum += plan.runs[p] * plan.patterns[p].count[item];
  return sum;
}

std::int64_t Overs(const Model& model, const Candidate& plan) {
  std::int64_t sum = 0;
  for (int i = 0; i < model.items(); ++i) sum += Produced(plan, i) - model.quantity[i];
  return sum;
}

/// Drops unused patterns, then takes runs off each layout while every quantity is still met.
void Trim(const Model& model, Candidate& plan) {
  Candidate kept;
  for (std::size_t p = 0; p < plan.patterns.size(); ++p) {
    if (plan.runs[p] > 0)
      kept.patterns.push_back(plan.patterns[p]), kept.runs.push_back(plan.runs[p]);
  }
  plan = std::move(kept);
  for (std::size_t p = 0; p < plan.patterns.size(); ++p) {
    std::int64_t spare = plan.runs[p] - 1;
    for (int i = 0; i < model.items(); ++i) {
      const std::int64_t c = plan.patterns[p].count[i];
      if (c > 0) spare = std::min(spare, (Produced(plan, i) - model.quantity[i]) / c);
    }
    plan.runs[p] -= std::max<std::int64_t>(0, spare);
  }
}

bool Better(const Model& model, const Costs& costs, const Candidate& a, const Candidate& b) {
  const double ca = CostOf(a, costs), cb = CostOf(b, costs);
  if (std::abs(ca - cb) > 1e-9) return ca < cb;
  if (a.patterns.size() != b.patterns.size()) return a.patterns.size() < b.patterns.size();
  return Overs(model, a) < Overs(model, b);
}

/// Each item's best layout on its own, from the single-piece engine.
Pattern AloneLayout(const Model& model, int item, Clock::time_point due, Budget& budget) {
  std::vector<int> shapes;
  for (int s = 0; s < std::ssize(model.shapes); ++s) {
    if (model.shapes[s].item == item) shapes.push_back(s);
  }
  const Shape& first = model.shapes[shapes.front()];
  const bool both = shapes.size() == 2 || first.x == first.y;
  // The packing's a lies along x upright: the item's length-wise shape when it has one.
  const Micrometres a = first.turned ? first.y : first.x, b = first.turned ? first.x : first.y;
  const PackResult packed = Pack({.X = model.X,
                                  .Y = model.Y,
                                  .a = a,
                                  .b = b,
                                  .orientation = both           ? Orientation::kBoth
                                                 : first.turned ? Orientation::kTurned
                                                                : Orientation::kUpright,
                                  .cut = model.cut,
                                  .limits = {.deadline = std::min(due, budget.limits().deadline),
                                             .stop = budget.limits().stop}});
  if (!packed.complete) budget.NoteCutShort();
  std::vector<CellBlock> blocks;
  for (const Block& b : packed.blocks) {
    // A square item has one shape, whichever way the packing laid it.
    const int s = shapes.size() == 2 ? shapes[b.turned ? 1 : 0] : shapes.front();
    blocks.push_back({.shape = s, .x = b.x, .y = b.y, .columns = b.columns, .rows = b.rows});
  }
  return MakePattern(model, std::move(blocks));
}

/// Items by quantity, most first: gangs of neighbours need similar run lengths.
std::vector<int> ByQuantity(const Model& model) {
  std::vector<int> order(static_cast<std::size_t>(model.items()));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return model.quantity[a] > model.quantity[b]; });
  return order;
}

Candidate FromRuns(const std::vector<Pattern>& pool, const std::vector<std::int64_t>& runs) {
  Candidate plan;
  for (std::size_t p = 0; p < pool.size(); ++p) {
    if (runs[p] > 0) plan.patterns.push_back(pool[p]), plan.runs.push_back(runs[p]);
  }
  return plan;
}

bool MeetsAll(const Model& model, const Candidate& plan) {
  for (int i = 0; i < model.items(); ++i) {
    if (Produced(plan, i) < model.quantity[i]) return false;
  }
  return true;
}

/// The least sheets any plan prints, by area and by each item alone.
double SheetsByArea(const Model& model) {
  const double area = model.usable_area;
  double total = 0, most = 0;
  for (int i = 0; i < model.items(); ++i) {
    const double per_sheet =
        std::min(std::floor(area / model.cell_area[i]), static_cast<double>(model.most_cells[i]));
    total += static_cast<double>(model.quantity[i]) * model.cell_area[i];
    most = std::max(most, std::ceil(static_cast<double>(model.quantity[i]) / per_sheet));
  }
  return std::max(most, total / area);
}

GangLayout Answer(const GangRequest& request, const Model& model, const Pattern& pattern,
                  std::int64_t runs) {
  GangLayout layout{.runs = runs};
  std::vector<Rect> trims;
  std::vector<int> trim_items;
  double trim_area = 0;
  for (const CellBlock& cell : pattern.blocks) {
    const Shape& shape = model.shapes[cell.shape];
    const Spacing spacing = SpacingOf(request, shape.item);
    // A cell's corner lies one bleed outside its piece's trim corner.
    const Block block{.x = request.margins.left + cell.x + spacing.bleed,
                      .y = request.margins.gripper + cell.y + spacing.bleed,
                      .columns = cell.columns,
                      .rows = cell.rows,
                      .turned = shape.turned};
    layout.blocks.push_back({.item = shape.item, .block = block});
    for (std::int64_t i = 0; i < block.columns; ++i) {
      for (std::int64_t j = 0; j < block.rows; ++j) {
        trims.push_back(spacing.TrimRect(block, i, j));
        trim_items.push_back(shape.item);
      }
    }
    trim_area += static_cast<double>(block.columns * block.rows) * Area(spacing.piece);
  }
  layout.utilisation = RoundTo(trim_area / Area(request.sheet), 4);
  if (request.cut == CutMode::kDie) {
    layout.cuts_note = CutsNote::kDie;
  } else if (std::ssize(trims) > kMaxCutProgramPieces) {
    layout.cuts_note = CutsNote::kTooManyPieces;
  } else if (auto nodes = CutProgram(request.sheet, trims)) {
    std::map<std::pair<Micrometres, Micrometres>, int> item_at;
    for (std::size_t t = 0; t < trims.size(); ++t)
      item_at[{trims[t].x, trims[t].y}] = trim_items[t];
    layout.cuts.emplace();
    for (CutNode& node : *nodes) {
      const int item = node.kind == CutKind::kPiece ? item_at.at({node.x, node.y}) : -1;
      layout.cuts->push_back({.node = std::move(node), .item = item});
    }
  } else {
    layout.cuts_note = CutsNote::kNotGuillotine;
  }
  return layout;
}

/// The paper figures of the plan, as the single-piece job works them out for its press sheets.
GangPaperAnswer PaperOf(const GangRequest& request, std::int64_t press_sheets, Budget& budget) {
  const bool fixed = std::any_of(request.items.begin(), request.items.end(),
                                 [](const GangItem& i) { return i.grain != Grain::kAny; });
  const Request sheets{.sheet = request.sheet,
                       .piece = request.sheet,
                       .grain = fixed ? Grain::kLength : Grain::kAny,
                       .job = Job{.quantity = press_sheets,
                                  .parent = request.paper->parent,
                                  .grammage = request.paper->grammage,
                                  .price = request.paper->price}};
  // One press sheet per "piece": the job's parent sheets, weight and cost are the plan's.
  const PackResult per_parent = PressSheetsPerParent(sheets, budget.limits());
  if (!per_parent.complete) budget.NoteCutShort();
  const JobAnswer job = PlanJob(sheets, 1, per_parent.ups);
  GangPaperAnswer paper{.error = job.error,
                        .per_parent = job.per_parent,
                        .parent_sheets = job.parent_sheets,
                        .weight_kg = job.weight_kg,
                        .cost = job.cost};
  if (!job.error) {
    double pieces = 0;
    for (const GangItem& item : request.items) {
      pieces += static_cast<double>(item.quantity) * Area(item.piece);
    }
    paper.paper_utilisation =
        RoundTo(pieces / (static_cast<double>(job.parent_sheets) *
                          Area(request.paper->parent.value_or(request.sheet))),
                4);
  }
  return paper;
}

}  // namespace

std::optional<RequestError> Validate(const GangRequest& request) {
  if (auto e = CheckShared(request)) return e;
  if (request.items.empty() || request.items.size() > kMaxItems) {
    return RequestError{ErrorCode::kOutOfRange, "must hold 1 to 200 items", "items"};
  }
  std::set<std::string_view> ids;
  for (std::size_t i = 0; i < request.items.size(); ++i) {
    if (auto e = CheckItem(request, i)) return e;
    if (!ids.insert(request.items[i].id).second) {
      return RequestError{ErrorCode::kRepeatedId, "is the id of an item before it",
                          ItemPath(i, "id")};
    }
  }
  if (request.max_layouts < 1 || request.max_layouts > kMaxLayouts) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 50",
                        "max_layouts"};
  }
  if (!(request.setup_sheets >= 0 && request.setup_sheets <= 1e9)) {
    return RequestError{ErrorCode::kOutOfRange, "must be from 0 to 1000000000", "setup_sheets"};
  }
  if (request.time_limit_ms < 1 || request.time_limit_ms > kMaxGangTimeLimitMs) {
    return RequestError{ErrorCode::kOutOfRange, "must be a whole number from 1 to 60000",
                        "time_limit_ms"};
  }
  return CheckFits(request, Reduce(request));
}

GangAnswer Plan(const GangRequest& request, std::stop_token stop) {
  const Clock::time_point start = Clock::now();
  // The searches stop a twentieth early (at most 0.2 s), which leaves the answer its time.
  const auto limit = std::chrono::milliseconds(request.time_limit_ms);
  const Clock::time_point deadline =
      start + limit - std::min<Clock::duration>(limit / 20, std::chrono::milliseconds(200));
  Budget budget(kPlanSteps, {.deadline = deadline, .stop = std::move(stop)});
  const Model model = Reduce(request);
  const Costs costs{.per_layout = static_cast<double>(request.makeready) + request.setup_sheets,
                    .max_layouts = request.max_layouts};
  const int n = model.items();

  // Starting patterns: each item alone, and single-layout gangs of neighbours by quantity.
  std::vector<Pattern> start_pool;
  for (int i = 0; i < n; ++i) {
    // The die-cut searches are the slow ones: all of them together get a quarter of the time.
    start_pool.push_back(
        AloneLayout(model, i, start + (deadline - start) * (i + 1) / (4 * n), budget));
  }
  std::optional<Candidate> best;
  const auto consider = [&](Candidate plan) {
    if (plan.patterns.empty() || std::ssize(plan.patterns) > costs.max_layouts ||
        !MeetsAll(model, plan) ||
        std::any_of(plan.patterns.begin(), plan.patterns.end(),
                    [&](const Pattern& p) { return !Fits(model, p.blocks); })) {
      return;
    }
    Trim(model, plan);
    if (!best || Better(model, costs, plan, *best)) best = std::move(plan);
  };
  const std::vector<int> order = ByQuantity(model);
  if (costs.max_layouts == 1 || n <= kMaxGroupedItems) {
    const Effort effort = costs.max_layouts == 1   ? Effort::kExhaustive
                          : costs.max_layouts <= 3 ? Effort::kTight
                                                   : Effort::kQuick;
    Budget groups = budget.Share(budget.left() / 4);
    const std::int64_t given = groups.left();
    for (int length = n; length >= 1 && !groups.out(); --length) {
      if (costs.max_layouts == 1 && length < n) break;
      for (int first = 0; first + length <= n && !groups.out(); ++first) {
        std::vector<int> items(order.begin() + first, order.begin() + first + length);
        if (auto single = SingleLayoutPlan(model, items, groups, effort)) {
          if (length == n) consider({{single->pattern}, {single->runs}});
          if (length > 1) start_pool.push_back(std::move(single->pattern));
        }
      }
    }
    budget.Absorb(groups, given);
  }

  // Two layouts with runs of their own, where few layouts are allowed: the groups of neighbours
  // by quantity are not the splits that fill a long run's sheets, and the programme's layouts
  // suit plans of many.
  if (costs.max_layouts >= 2 && costs.max_layouts <= 3 && n >= 2) {
    const std::int64_t most = *std::max_element(model.quantity.begin(), model.quantity.end());
    // Two layouts beat the best plan only by printing fewer sheets than it costs, less their
    // setups.
    const auto beat = best ? static_cast<std::int64_t>(
                                 std::ceil(CostOf(*best, costs) - 2 * costs.per_layout - 1e-9))
                           : 2 * most + 1;
    Budget two = budget.Share(budget.left() / 8);
    const std::int64_t given = two.left();
    for (auto plan : {TwoLayoutPlan(model, beat, two), TwoGroupsPlan(model, beat, two)}) {
      if (!plan) continue;
      consider({{plan->first, plan->second}, {plan->first_runs, plan->second_runs}});
      start_pool.push_back(std::move(plan->first));
      start_pool.push_back(std::move(plan->second));
    }
    budget.Absorb(two, given);
  }

  // Each item alone on its best layout, when the layouts allowed are enough.
  if (n <= costs.max_layouts) {
    Candidate alone;
    for (int i = 0; i < n; ++i) {
      alone.patterns.push_back(start_pool[i]);
      alone.runs.push_back(UsefulRuns(model, start_pool[i]));
    }
    consider(std::move(alone));
  }

  std::optional<GuillotineKnapsack> exact, upper;
  Model coarse;  // outlives `upper`, which prices it
  if (model.cut == CutMode::kGuillotine) {
    exact = GuillotineKnapsack::Build(model, kMaxPricingCells);
    coarse = Coarsen(model, CoarseGrain(model));
    upper = GuillotineKnapsack::Build(coarse, kMaxPricingCells);
  }
  const Pricers pricers{.exact = exact ? &*exact : nullptr, .upper = upper ? &*upper : nullptr};
  // The relaxation leaves the integer plan a third of the steps and of the time.
  Budget relax = budget.Share(budget.left() * 2 / 3, start + (deadline - start) * 2 / 3);
  const std::int64_t relax_given = relax.left();
  Relaxation relaxation = SolveRelaxation(model, costs, start_pool, pricers, relax);
  budget.Absorb(relax, relax_given);
  const auto integer_plan = [&](const std::vector<Pattern>& pool) {
    // The integer programme starts from the best plan so far, when its layouts are in the pool.
    std::vector<std::int64_t> start_runs(pool.size(), 0);
    for (std::size_t p = 0; best && p < best->patterns.size(); ++p) {
      const auto at = std::find(pool.begin(), pool.end(), best->patterns[p]);
      if (at == pool.end()) {
        std::fill(start_runs.begin(), start_runs.end(), 0);
        break;
      }
      start_runs[at - pool.begin()] += best->runs[p];
    }
    if (auto runs = IntegerPlan(model, costs, pool, start_runs, budget)) {
      consider(FromRuns(pool, *runs));
    }
  };
  integer_plan(relaxation.pool);
  // Every plan prints at least the sheets by area, and its layouts cost at least one setup.
  double sheets = std::ceil(SheetsByArea(model) - 1e-9);
  const auto bound = [&] {
    return std::max(RoundBound(relaxation.bound, costs), sheets + costs.per_layout);
  };
  const auto unproven = [&] { return !best || CostOf(*best, costs) > bound() + 1e-9; };
  if (costs.per_layout > 0 && unproven()) {
    // The pricing cannot see setups: it stalls on layouts that only their setup keeps out, and
    // the bound it leaves is weak. Without setups it converges, and no plan prints fewer sheets
    // than that programme's bound; its layouts may make a better plan. It gets a quarter of the
    // steps left and leaves the last sixth of the time.
    Budget part = budget.Share(budget.left() / 4, start + (deadline - start) * 5 / 6);
    const std::int64_t given = part.left(), known = std::ssize(relaxation.pool);
    Relaxation without = SolveRelaxation(model, {.per_layout = 0, .max_layouts = costs.max_layouts},
                                         std::move(relaxation.pool), pricers, part);
    budget.Absorb(part, given);
    sheets = std::max(sheets, RoundBound(without.bound, {.max_layouts = 1}));
    relaxation.pool = std::move(without.pool);
    if (std::ssize(relaxation.pool) > known && unproven()) integer_plan(relaxation.pool);
  }
  GangAnswer answer;
  if (best) {
    std::int64_t press = 0;
    for (std::size_t p = 0; p < best->patterns.size(); ++p) {
      answer.layouts.push_back(Answer(request, model, best->patterns[p], best->runs[p]));
      answer.sheets += best->runs[p];
      const Request layout_job{.sheet = request.sheet,
                               .piece = request.sheet,
                               .job = Job{.quantity = best->runs[p],
                                          .overs_percent = request.overs_percent,
                                          .makeready = request.makeready}};
      // The single-piece job's press sheets of one layout printed runs times.
      press += PlanJob(layout_job, 1, 1).press_sheets;
    }
    answer.press_sheets = press;
    answer.cost = CostOf(*best, costs);
    for (int i = 0; i < n; ++i) {
      answer.items.push_back({.id = request.items[i].id,
                              .quantity = request.items[i].quantity,
                              .produced = Produced(*best, i)});
    }
  }
  answer.bound = bound();
  if (unproven()) {
    answer.bound = LayoutCountBound(model, costs, answer.bound, static_cast<std::int64_t>(sheets),
                                    relaxation.pool, pricers, budget);
  }
  answer.proof =
      best && std::abs(answer.cost - answer.bound) < 1e-9 ? Proof::kOptimal : Proof::kNone;
  if (best && request.paper) answer.paper = PaperOf(request, answer.press_sheets, budget);
  answer.complete = !budget.cut_short();
  answer.elapsed_ms =
      RoundTo(std::chrono::duration<double, std::milli>(Clock::now() - start).count(), 3);
  return answer;
}

}  // namespace sheetora::layout::gang
