// The compute pool: threads of their own for the work of the routes beside the pages (searches,
// drawings, PDFs), so that however much of it is asked for, the threads that serve pages go on
// serving them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace sheetora {

struct ComputeLimits {
  unsigned workers = 2;  ///< threads that run tasks
  /// Tasks from one client address at once, waiting and running; behind a reverse proxy every
  /// client comes from the proxy's address.
  unsigned per_client = 16;
  unsigned queue = 64;  ///< tasks waiting for a worker, from every client together
};

/// One request's work. `work` runs on a worker with a token that is stopped when the client
/// hangs up or the pool stops; `finish` is called exactly once afterwards, or alone when the
/// client hung up before the work began, after the pool has let go of the client's socket.
struct ComputeTask {
  std::string client;  ///< the client's address, for the per-client bound
  int socket = -1;     ///< watched for the client hanging up while the task waits or runs
  std::function<void(std::stop_token)> work;
  std::function<void()> finish;
};

class ComputePool {
 public:
  explicit ComputePool(ComputeLimits limits);
  /// Stops every task, lets the workers run what is queued (each with its stop requested) and
  /// joins them.
  ~ComputePool();
  ComputePool(const ComputePool&) = delete;
  ComputePool& operator=(const ComputePool&) = delete;

  /// Queues the task; false, and the task is dropped unrun, when its client or the queue is at
  /// its bound.
  bool Submit(ComputeTask task);
  /// Requests a stop of every task, now and later: each answers as its time limit would.
  void StopAll();
  /// Calls `finish` of every task not yet finished, running or not; the pool forgets them and
  /// their work, when it ends, is thrown away; later tasks are refused. For a stop whose grace
  /// is over, before the connections close.
  void AbandonAll();
  /// Tasks queued or running.
  std::size_t Pending() const;

 private:
  struct Entry;

  void RunWorker();
  void WatchHangUps(const std::stop_token& stop);
  void WakeWatcher() const;
  /// Takes the entry out of the books, the lock held; false when it was no longer in them.
  bool Forget(const std::shared_ptr<Entry>& entry);

  const ComputeLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable work_ready_;
  std::deque<std::shared_ptr<Entry>> queue_;
  std::vector<std::shared_ptr<Entry>> pending_;  // queued and running
  std::unordered_map<std::string, unsigned> per_client_;
  bool stopping_ = false;
  bool closing_ = false;
  int wake_fd_ = -1;  // an eventfd that wakes the hang-up watcher
  std::vector<std::jthread> workers_;
  std::jthread watcher_;  // last: it uses the members above
};

}  // namespace sheetora
