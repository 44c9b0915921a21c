// sheetora-host: serves the site's pages over HTTP until SIGINT or SIGTERM, then answers what
// is in flight and stops.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>

#include "host/http_server.h"
#include "host/page_runner.h"
#include "pages/planner/plan_pdf.h"

namespace {

constexpr std::string_view kUsage = R"(Usage: sheetora-host [options]
Serves the site's pages over HTTP until it receives SIGINT or SIGTERM.
  --bind ADDRESS      address to listen on (default 127.0.0.1)
  --port N            port to listen on (default 8080; 0 picks a free one)
  --threads N         worker threads (default: the number of cores)
  --log-dir FOLDER    folder of the error log QuennetLog.Log (default: the folder that holds
                      libsheetora.so)
  --per-ip-limit N    connections at once from one address (default 300, of 1000 in all);
                      behind a reverse proxy every client comes from the proxy's address
  --compute-threads N threads for searches, drawings and PDFs, apart from the threads that
                      serve pages (default: the number of cores)
  --compute-queue N   such requests waiting for a compute thread, in all (default 64); beyond
                      it, or beyond --compute-per-ip, the answer is 503 with Retry-After
  --compute-per-ip N  such requests at once from one address, waiting or running (default 16)
  --header-timeout N  seconds a request's head may take from the connection's start, however
                      slowly it trickles in (default 10; on a kept-alive connection, counted
                      after the 20 s idle time-out)
  --grace-seconds N   on SIGINT or SIGTERM, seconds to finish and answer the requests in
                      flight before stopping (default 5)
  --help              show this text
)";

struct CommandLine {
  sheetora::HttpServerOptions server;
  bool help = false;
};

unsigned ParseNumber(std::string_view option, std::string_view text, unsigned min, unsigned max) {
  unsigned number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number < min || number > max) {
    throw std::invalid_argument(std::string(option) + " wants a whole number from " +
                                std::to_string(min) + " to " + std::to_string(max));
  }
  return number;
}

/// Options take their value as the next argument or after "=".
CommandLine ParseCommandLine(int argc, char** argv) {
  CommandLine command;
  command.server.threads = std::max(1u, std::thread::hardware_concurrency());
  command.server.compute.workers = command.server.threads;
  for (int i = 1; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--help" || option == "-h") {
      command.help = true;
      continue;
    }
    std::string_view value;
    bool has_value = false;
    if (const auto eq = option.find('='); eq != std::string_view::npos) {
      value = option.substr(eq + 1);
      option = option.substr(0, eq);
      has_value = true;
    }
    const auto take_value = [&] {
      if (has_value) return value;
      if (i + 1 == argc) throw std::invalid_argument(std::string(option) + " wants a value");
      return std::string_view(argv[++i]);
    };
    if (option == "--bind") {
      command.server.bind = take_value();
    } else if (option == "--port") {
      command.server.port = ParseNumber(option, take_value(), 0, 65535);
    } else if (option == "--threads") {
      command.server.threads = ParseNumber(option, take_value(), 1, 1024);
    } else if (option == "--per-ip-limit") {
      command.server.per_ip_connection_limit = ParseNumber(option, take_value(), 1, 1000000);
    } else if (option == "--compute-threads") {
      command.server.compute.workers = ParseNumber(option, take_value(), 1, 1024);
    } else if (option == "--compute-queue") {
      command.server.compute.queue = ParseNumber(option, take_value(), 0, 1000000);
    } else if (option == "--compute-per-ip") {
      command.server.compute.per_client = ParseNumber(option, take_value(), 1, 1000000);
    } else if (option == "--header-timeout") {
      command.server.header_timeout_seconds = ParseNumber(option, take_value(), 1, 3600);
    } else if (option == "--grace-seconds") {
      command.server.grace_seconds = ParseNumber(option, take_value(), 0, 3600);
    } else if (option == "--log-dir") {
      command.server.log_dir = take_value();
      if (!std::filesystem::is_directory(command.server.log_dir)) {
        throw std::invalid_argument("--log-dir: no such folder: " +
                                    command.server.log_dir.string());
      }
    } else {
      throw std::invalid_argument("unknown option " + std::string(option));
    }
  }
  return command;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine command;
  try {
    command = ParseCommandLine(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "sheetora-host: " << e.what() << "\n\n" << kUsage;
    return 2;
  }
  if (command.help) {
    std::cout << kUsage;
    return 0;
  }
  if (command.server.log_dir.empty()) command.server.log_dir = sheetora::PageLibraryFolder();

  // Blocked before the server starts its threads, which inherit the mask, so that the stop
  // signals wait for sigwait below instead of ending the process. A shell starts background
  // jobs with SIGINT ignored, and an ignored signal never reaches sigwait.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  // A client that hangs up while its answer is sent must not end the process.
  signal(SIGPIPE, SIG_IGN);
  // Each connection holds a descriptor, and the usual soft limit of 1024 is no more than the
  // connection limit: take what the hard limit allows.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }

  try {
    const sheetora::HttpServer server(command.server);
    const std::string& bind = command.server.bind;
    const bool ipv6 = bind.find(':') != std::string::npos;
    std::cout << "serving on http://" << (ipv6 ? "[" + bind + "]" : bind) << ':' << server.port()
              << '/' << std::endl;
    int received = 0;
    sigwait(&stop_signals, &received);
  } catch (const std::exception& e) {
    std::cerr << "sheetora-host: " << e.what() << '\n';
    return 1;
  }
  // The server and its threads are gone: nothing draws any more.
  sheetora::planner::ReleaseFontCaches();
  return 0;
}
