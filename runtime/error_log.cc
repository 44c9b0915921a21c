#include "runtime/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "runtime/host_objects.h"

namespace sheetora {

void WriteErrorLog(std::string_view text) {
  const Server* server = CurrentObjectContext().server;
  const std::filesystem::path folder = server ? server->log_dir : std::filesystem::path();

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);

  std::string line = stamp;
  line.append("    ").append(text).append("\r\n");

  const int fd =
      ::open((folder / kErrorLogName).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
}

}  // namespace sheetora
