#include "runtime/error_log.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/page_context.h"

namespace sheetora {
namespace {

using Clock = std::chrono::steady_clock;

/// Appends one whole line. After a write that was cut short the file ends inside a line, so a
/// line that finds no line end before it starts with one of its own.
void AppendLine(const std::filesystem::path& folder, std::string_view text) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

  const int fd =
      ::open((folder / kErrorLogName).c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  std::string line;
  struct stat file {};
  char last = '\n';
  if (::fstat(fd, &file) == 0 && file.st_size > 0 && ::pread(fd, &last, 1, file.st_size - 1) == 1 &&
      last != '\n') {
    line = "\r\n";
  }
  line.append(stamp).append("    ").append(text).append("\r\n");
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

/// The repeats of each (folder, text) in its current interval. The one piece of state that the
/// log writer shares across threads: every page thread logs through it, so it is guarded by one
/// mutex, held only to count, never while writing the file. Entries whose interval is over and
/// that counted nothing are dropped, so it holds only the errors of the last interval.
class RepeatCounter {
 public:
  struct Summary {
    std::filesystem::path folder;
    std::string text;
  };

  /// Whether this occurrence is to be written; adds to `due` the summaries it closes.
  bool Admit(const std::filesystem::path& folder, std::string_view text,
             std::vector<Summary>& due) {
    const Clock::time_point now = Clock::now();
    std::string key = folder.string();
    key.push_back('\0');
    key.append(text);
    const std::lock_guard lock(mutex_);
    if (entries_.size() > kMaxEntries) Collect(now, false, due);
    auto [entry, fresh] = entries_.try_emplace(std::move(key), Entry{folder, now});
    Entry& e = entry->second;
    if (!fresh && now - e.start >= kRepeatInterval) {
      if (e.repeated > 0) due.push_back(SummaryOf(e, text));
      e = Entry{folder, now};
    }
    if (e.written < kRepeatBurst) {
      ++e.written;
      return true;
    }
    ++e.repeated;
    return false;
  }

  std::vector<Summary> Due(bool all) {
    std::vector<Summary> due;
    const std::lock_guard lock(mutex_);
    Collect(Clock::now(), all, due);
    return due;
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;

  struct Entry {
    std::filesystem::path folder;
    Clock::time_point start;
    int written = 0;
    long repeated = 0;
  };

  static Summary SummaryOf(const Entry& e, std::string_view text) {
    std::string line(text);
    line.append(" ... repeated ").append(std::to_string(e.repeated)).append(" times");
    return {e.folder, std::move(line)};
  }

  // Closes every entry whose interval is over (or every one), and drops it.
  void Collect(Clock::time_point now, bool all, std::vector<Summary>& due) {
    for (auto it = entries_.begin(); it != entries_.end();) {
      const Entry& e = it->second;
      if (!all && now - e.start < kRepeatInterval) {
        ++it;
        continue;
      }
      if (e.repeated > 0) {
        due.push_back(SummaryOf(e, std::string_view(it->first).substr(it->first.find('\0') + 1)));
      }
      it = entries_.erase(it);
    }
  }

  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
};

RepeatCounter& Repeats() {
  static RepeatCounter counter;
  return counter;
}

void WriteSummaries(const std::vector<RepeatCounter::Summary>& due) {
  for (const auto& summary : due) AppendLine(summary.folder, summary.text);
}

}  // namespace

std::filesystem::path LibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  std::error_code ec;
  auto path = std::filesystem::canonical(info.dli_fname, ec);
  return ec ? std::filesystem::path(info.dli_fname).parent_path() : path.parent_path();
}

void WriteErrorLog(std::string_view text) try {
  // The host logs its own faults after the page object, and with it the page context, is gone.
  const Server* server = CurrentPageContext().server;
  if (server == nullptr) server = CurrentObjectContext().server;
  const std::filesystem::path folder =
      server && !server->log_dir.empty() ? server->log_dir : LibraryFolder();
  std::vector<RepeatCounter::Summary> due;
  const bool write = Repeats().Admit(folder, text, due);
  WriteSummaries(due);
  if (write) AppendLine(folder, text);
} catch (...) {
  // Out of memory: the line is lost.
}

void WriteErrorLogRepeats(bool all) try { WriteSummaries(Repeats().Due(all)); } catch (...) {
  // Likewise.
}

}  // namespace sheetora
