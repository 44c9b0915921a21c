#include "runtime/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "runtime/host_objects.h"

namespace sheetora {
namespace {

using Clock = std::chrono::steady_clock;

/// What the log writer shares across threads, every page thread logging through it: the repeats
/// of each (folder, text) in its current interval, and the folders whose log a cut-short write
/// left inside a line. Guarded by one mutex, held only to count, never while writing the file.
/// Entries whose interval is over are dropped once they are written, so it holds only the errors
/// of the last interval; past kMaxEntries of them, those that never repeated are dropped too, and
/// while it is still full new texts are written without counting.
class LogState {
 public:
  struct Line {
    std::filesystem::path folder;
    std::string text;
  };

  /// Whether this occurrence is to be written; adds to `due` the summaries it closes.
  bool Admit(const std::filesystem::path& folder, std::string_view text, std::vector<Line>& due) {
    const Clock::time_point now = Clock::now();
    std::string key = folder.string();
    key.push_back('\0');
    key.append(text);
    const std::lock_guard lock(mutex_);
    if (entries_.size() >= kMaxEntries && now - last_collected_ >= std::chrono::seconds(1)) {
      Collect(now, false, due);
      // Texts that have not repeated lose only their count of lines written.
      std::erase_if(entries_, [](const auto& entry) { return entry.second.repeated == 0; });
    }
    auto entry = entries_.find(key);
    if (entry == entries_.end()) {
      if (entries_.size() >= kMaxEntries) return true;
      entry = entries_.emplace(std::move(key), Entry{folder, now}).first;
    }
    Entry& e = entry->second;
    if (now - e.start >= kRepeatInterval) {
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

  std::vector<Line> Due(bool all) {
    std::vector<Line> due;
    const std::lock_guard lock(mutex_);
    Collect(Clock::now(), all, due);
    return due;
  }

  /// Appends one whole line. A write cut short (a full disk) leaves the file inside a line, so
  /// the next line to that folder starts with a line end of its own.
  void Append(const Line& line) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

    const std::filesystem::path file = line.folder / kErrorLogName;
    std::string bytes = Torn(file) ? "\r\n" : "";
    bytes.append(stamp).append("    ").append(line.text).append("\r\n");
    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
    if (written > 0) Torn(file, written < static_cast<ssize_t>(bytes.size()));
  }

 private:
  static constexpr std::size_t kMaxEntries = 4096;

  struct Entry {
    std::filesystem::path folder;
    Clock::time_point start;
    int written = 0;
    long repeated = 0;
  };

  static Line SummaryOf(const Entry& e, std::string_view text) {
    std::string line(text);
    line.append(" ... repeated ").append(std::to_string(e.repeated)).append(" times");
    return {e.folder, std::move(line)};
  }

  /// Whether the file was left torn; sets that to `torn` after a write that wrote something.
  bool Torn(const std::filesystem::path& file, std::optional<bool> torn = std::nullopt) {
    const std::lock_guard lock(mutex_);
    if (torn) {
      if (*torn) {
        torn_.insert(file.string());
      } else {
        torn_.erase(file.string());
      }
    }
    return torn_.contains(file.string());
  }

  // Closes every entry whose interval is over (or every one), and drops it.
  void Collect(Clock::time_point now, bool all, std::vector<Line>& due) {
    last_collected_ = now;
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
  Clock::time_point last_collected_;
  std::unordered_set<std::string> torn_;
};

LogState& State() {
  static LogState state;
  return state;
}

void AppendAll(const std::vector<LogState::Line>& lines) {
  for (const auto& line : lines) State().Append(line);
}

}  // namespace

void WriteErrorLog(std::string_view text) try {
  const Server* server = CurrentObjectContext().server;
  const std::filesystem::path folder = server ? server->log_dir : std::filesystem::path();
  std::vector<LogState::Line> due;
  const bool write = State().Admit(folder, text, due);
  AppendAll(due);
  if (write) State().Append({folder, std::string(text)});
} catch (...) {
  // Out of memory: the line is lost.
}

void WriteErrorLogRepeats(bool all) try { AppendAll(State().Due(all)); } catch (...) {
  // Likewise.
}

}  // namespace sheetora
