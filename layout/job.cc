#include "layout/job.h"

#include <cmath>

#include "layout/plan.h"

namespace sheetora::layout {
namespace {

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return (a + b - 1) / b; }

/// Overs are read to a millionth of a percent, so that the spoilage is counted exactly:
/// 1.1 % of 1,000 sheets is 11 sheets, not the 12 that binary rounding would make of it.
constexpr double kOversSteps = 1e6;

std::int64_t Spoilage(std::int64_t run_sheets, double overs_percent) {
  const auto steps = static_cast<__int128>(std::llround(overs_percent * kOversSteps));
  const __int128 per = static_cast<__int128>(100 * kOversSteps);
  return static_cast<std::int64_t>((run_sheets * steps + per - 1) / per);
}

}  // namespace

PackResult PressSheetsPerParent(const Request& request, const Limits& limits) {
  if (!request.job || !request.job->parent) return {.ups = 1, .bound = 1};
  return Pack(
      {.X = request.job->parent->length,
       .Y = request.job->parent->width,
       .a = request.sheet.length,
       .b = request.sheet.width,
       .orientation = request.grain == Grain::kAny ? Orientation::kBoth : Orientation::kUpright,
       .cut = CutMode::kGuillotine,
       .limits = limits});
}

JobAnswer PlanJob(const Request& request, std::int64_t ups, std::int64_t per_parent) {
  const Job& job = *request.job;
  JobAnswer answer;
  if (ups == 0) {
    answer.error = "no piece fits the press sheet";
    return answer;
  }
  if (per_parent == 0) {
    answer.error = "the press sheet does not fit the parent sheet";
    return answer;
  }
  const Size parent = job.parent.value_or(request.sheet);
  const double parent_m2 = Area(parent) / 1e12;
  answer.run_sheets = CeilDiv(job.quantity, ups);
  answer.press_sheets =
      answer.run_sheets + Spoilage(answer.run_sheets, job.overs_percent) + job.makeready;
  answer.per_parent = per_parent;
  answer.parent_sheets = CeilDiv(answer.press_sheets, per_parent);
  const double area_m2 = static_cast<double>(answer.parent_sheets) * parent_m2;
  // Validation has made sure that a price per tonne comes with a grammage.
  const double weight_kg = area_m2 * job.grammage.value_or(0) / 1000;
  if (job.grammage) answer.weight_kg = RoundTo(weight_kg, 3);
  if (job.price) {
    const double amount = job.price->amount;
    double cost = 0;
    switch (job.price->per) {
      case PricePer::kTonne:
        cost = weight_kg / 1000 * amount;
        break;
      case PricePer::kReam:
        cost = static_cast<double>(answer.parent_sheets) / 500 * amount;
        break;
      case PricePer::kSheet:
        cost = static_cast<double>(answer.parent_sheets) * amount;
        break;
      case PricePer::kSquareMetre:
        cost = area_m2 * amount;
        break;
    }
    answer.cost = RoundTo(cost, 2);
  }
  answer.paper_utilisation =
      RoundTo(static_cast<double>(job.quantity) * Area(request.piece) / 1e12 / area_m2, 4);
  return answer;
}

}  // namespace sheetora::layout
