#include "layout/answer_cache.h"

#include <algorithm>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <utility>

#include "layout/plan.h"

namespace sheetora::layout {
namespace {

// A few dozen recent answers: enough for a page and the links followed from it, and small
// enough that a search for one of them is cheap beside planning.
constexpr std::size_t kMaxAnswers = 32;
// Cut programs make some answers large (up to 10,000 nodes); past this many blocks and nodes in
// all, the oldest go.
constexpr std::size_t kMaxWeight = 100'000;

std::size_t Weight(const Answer& answer) {
  return 1 + answer.blocks.size() + (answer.cuts ? answer.cuts->size() : 0);
}

/// The engine's one piece of state shared between requests. It holds only answers that the
/// requests themselves determine, so it changes what a caller sees only where a search was cut
/// short by time; that is what it is for: the page, the SVG and the PDF of one query then agree.
class AnswerCache {
 public:
  std::optional<Answer> Find(const Request& request) {
    const std::scoped_lock lock(mutex_);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& entry) { return entry.first == request; });
    if (found == entries_.end()) return std::nullopt;
    entries_.splice(entries_.begin(), entries_, found);  // most recent first
    return found->second;
  }

  void Keep(const Request& request, const Answer& answer) {
    const std::scoped_lock lock(mutex_);
    // Another thread may have planned it meanwhile: both answers are the same unless cut short,
    // and the first one kept stands, so later callers keep seeing it.
    if (std::any_of(entries_.begin(), entries_.end(),
                    [&](const Entry& entry) { return entry.first == request; })) {
      return;
    }
    entries_.emplace_front(request, answer);
    weight_ += Weight(answer);
    while (entries_.size() > kMaxAnswers || (weight_ > kMaxWeight && entries_.size() > 1)) {
      weight_ -= Weight(entries_.back().second);
      entries_.pop_back();
    }
  }

 private:
  using Entry = std::pair<Request, Answer>;
  std::mutex mutex_;
  std::list<Entry> entries_;
  std::size_t weight_ = 0;
};

AnswerCache& Cache() {
  static AnswerCache cache;
  return cache;
}

}  // namespace

Answer PlanOnce(const Request& request, const std::stop_token& stop) {
  if (std::optional<Answer> kept = Cache().Find(request)) return *std::move(kept);
  Answer answer = Plan(request, stop);
  if (!stop.stop_requested()) Cache().Keep(request, answer);
  return answer;
}

}  // namespace sheetora::layout
