#include "host/compute_pool.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace sheetora {

struct ComputePool::Entry {
  ComputeTask task;
  std::stop_source stop;
  bool running = false;
  bool hung_up = false;  // the socket is no longer watched
};

ComputePool::ComputePool(ComputeLimits limits)
    : limits_(limits), wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wake_fd_ < 0) throw std::runtime_error("cannot create the compute pool's event");
  for (unsigned i = 0; i < std::max(1u, limits_.workers); ++i) {
    workers_.emplace_back([this] { RunWorker(); });
  }
  watcher_ = std::jthread([this](const std::stop_token& stop) { WatchHangUps(stop); });
}

ComputePool::~ComputePool() {
  StopAll();
  {
    const std::lock_guard lock(mutex_);
    closing_ = true;
  }
  work_ready_.notify_all();
  for (std::jthread& worker : workers_) worker.join();
  watcher_.request_stop();
  watcher_.join();
  ::close(wake_fd_);
}

bool ComputePool::Submit(ComputeTask task) {
  auto entry = std::make_shared<Entry>();
  {
    const std::lock_guard lock(mutex_);
    const auto mine = per_client_.find(task.client);
    if (closing_ || (mine != per_client_.end() && mine->second >= limits_.per_client) ||
        queue_.size() >= limits_.queue) {
      return false;
    }
    ++per_client_[task.client];
    entry->task = std::move(task);
    if (stopping_) entry->stop.request_stop();
    queue_.push_back(entry);
    pending_.push_back(entry);
  }
  work_ready_.notify_one();
  WakeWatcher();
  return true;
}

void ComputePool::StopAll() {
  std::vector<std::shared_ptr<Entry>> pending;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    pending = pending_;
  }
  // Outside the lock: a stop runs the callbacks that the work registered.
  for (const auto& entry : pending) entry->stop.request_stop();
}

void ComputePool::AbandonAll() {
  std::vector<std::shared_ptr<Entry>> pending;
  {
    const std::lock_guard lock(mutex_);
    closing_ = true;
    pending.swap(pending_);
    queue_.clear();
    per_client_.clear();
  }
  work_ready_.notify_all();
  for (const auto& entry : pending) {
    entry->stop.request_stop();
    entry->task.finish();
  }
}

std::size_t ComputePool::Pending() const {
  const std::lock_guard lock(mutex_);
  return pending_.size();
}

bool ComputePool::Forget(const std::shared_ptr<Entry>& entry) {
  const auto found = std::find(pending_.begin(), pending_.end(), entry);
  if (found == pending_.end()) return false;
  pending_.erase(found);
  std::erase(queue_, entry);
  const auto mine = per_client_.find(entry->task.client);
  if (mine != per_client_.end() && --mine->second == 0) per_client_.erase(mine);
  return true;
}

void ComputePool::RunWorker() {
  // Below the threads that serve pages, so that a page never waits for the processor behind a
  // search; the threads of a process have priorities of their own on Linux.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
  while (true) {
    std::shared_ptr<Entry> entry;
    {
      std::unique_lock lock(mutex_);
      work_ready_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (queue_.empty()) return;
      entry = queue_.front();
      queue_.pop_front();
      entry->running = true;
    }
    entry->task.work(entry->stop.get_token());
    bool mine = false;
    {
      const std::lock_guard lock(mutex_);
      mine = Forget(entry);
    }
    WakeWatcher();
    if (mine) entry->task.finish();
  }
}

void ComputePool::WakeWatcher() const {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
}

/// Polls the sockets of the pending tasks for a hang-up (the client's end closed or reset):
/// such a task's work is stopped, and a task still waiting is dropped at once.
void ComputePool::WatchHangUps(const std::stop_token& stop) {
  const std::stop_callback wake(stop, [this] { WakeWatcher(); });
  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<Entry>> watched;
  while (!stop.stop_requested()) {
    fds.assign(1, pollfd{.fd = wake_fd_, .events = POLLIN, .revents = 0});
    watched.clear();
    {
      const std::lock_guard lock(mutex_);
      for (const auto& entry : pending_) {
        if (entry->hung_up || entry->task.socket < 0) continue;
        fds.push_back(pollfd{.fd = entry->task.socket, .events = POLLRDHUP, .revents = 0});
        watched.push_back(entry);
      }
    }
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &count, sizeof count);
    }
    for (std::size_t i = 1; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      const std::shared_ptr<Entry>& entry = watched[i - 1];
      bool dropped = false;
      {
        const std::lock_guard lock(mutex_);
        if (std::find(pending_.begin(), pending_.end(), entry) == pending_.end()) continue;
        entry->hung_up = true;
        if (!entry->running) dropped = Forget(entry);
      }
      entry->stop.request_stop();
      if (dropped) entry->task.finish();
    }
  }
}

}  // namespace sheetora
