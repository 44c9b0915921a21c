// The sheetora-host program itself: options, start-up line, serving, and stopping on a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/error_log.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

extern char** environ;

namespace sheetora {
namespace {

/// The program running with the given arguments, its standard output and error in one pipe.
class HostProgram {
 public:
  explicit HostProgram(std::vector<std::string> args) {
    args.insert(args.begin(), SHEETORA_HOST_PROGRAM);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    const int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    output_fd_ = pipe_fds[0];
    if (failed != 0) throw std::runtime_error("cannot start the host program");
  }
  ~HostProgram() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(output_fd_);
  }

  /// The first line the program writes.
  std::string FirstLine() {
    std::string line;
    char c;
    while (read(output_fd_, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
  }

  void Signal(int signal_number) { kill(pid_, signal_number); }
  /// Sends the signal and returns the exit status (-1 when the program did not exit normally).
  int Stop(int signal_number) {
    Signal(signal_number);
    return Wait();
  }

  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string RestOfOutput() {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(output_fd_, buffer, sizeof buffer)) > 0;)
      text.append(buffer, got);
    return text;
  }

 private:
  pid_t pid_ = 0;
  int output_fd_ = -1;
};

TEST(HostProgram, ServesOnTheFreePortItPrintsAndStopsCleanlyOnEitherSignal) {
  testing::PageHarness harness;
  for (const int signal_number : {SIGTERM, SIGINT}) {
    HostProgram host({"--port", "0", "--threads=2", "--log-dir", harness.log_dir().string()});
    constexpr std::string_view kStart = "serving on http://127.0.0.1:";
    const std::string line = host.FirstLine();
    ASSERT_TRUE(line.starts_with(kStart) && line.ends_with('/')) << line;
    const int port = std::stoi(line.substr(kStart.size()));
    ASSERT_EQ(line, std::string(kStart) + std::to_string(port) + "/");
    ASSERT_GT(port, 0);
    testing::HttpConnection connection(port);
    connection.Send(testing::GetRequest("/Main.asp"));
    EXPECT_EQ(connection.Receive().body, testing::Gb2312(harness.Html("Sheetora.Class59")));
    EXPECT_EQ(host.Stop(signal_number), 0);
  }
}

// A request whose head has arrived when the stop signal comes still gets its whole answer, and
// its connection closes after it; new connections are no longer taken.
TEST(HostProgram, AnswersTheRequestInFlightBeforeItStops) {
  testing::PageHarness harness;
  HostProgram host({"--port=0", "--grace-seconds=5", "--log-dir", harness.log_dir().string()});
  const std::string line = host.FirstLine();
  const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
  const std::string body = "PaperL=1092&PaperW=787&PL=210&PW=140&BigSmall=1&PaiLie=HP&Submit=1";
  const std::string request = testing::PostRequest("/PinBan.asp", body);
  testing::HttpConnection connection(port);
  ASSERT_TRUE(connection.Send(request.substr(0, request.size() - 10)));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  host.Signal(SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_THROW(testing::HttpConnection{port}, std::runtime_error);  // refused
  ASSERT_TRUE(connection.Send(request.substr(request.size() - 10)));
  const testing::HttpReply reply = connection.Receive();
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("connection"), "close");
  EXPECT_EQ(reply.body, testing::Gb2312(harness.Html("Sheetora.Class61", {{"PaperL", "1092"},
                                                                          {"PaperW", "787"},
                                                                          {"PL", "210"},
                                                                          {"PW", "140"},
                                                                          {"BigSmall", "1"},
                                                                          {"PaiLie", "HP"},
                                                                          {"Submit", "1"}})));
  EXPECT_EQ(host.Wait(), 0);
}

std::uint16_t PortOf(HostProgram& host) {
  const std::string line = host.FirstLine();
  return static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
}

std::vector<std::unique_ptr<testing::HttpConnection>> SendEach(std::uint16_t port, int count,
                                                               const std::string& request) {
  std::vector<std::unique_ptr<testing::HttpConnection>> connections;
  for (int i = 0; i < count; ++i) {
    // Patient: on a busy machine a queue of searches or PDFs takes a while.
    connections.push_back(
        std::make_unique<testing::HttpConnection>(port, nullptr, std::chrono::seconds(120)));
    connections.back()->Send(request);
  }
  return connections;
}

int MainPageStatus(std::uint16_t port) {
  testing::HttpConnection page(port);
  page.Send(testing::GetRequest("/Main.asp"));
  return page.Receive().status;
}

// Eight searches whose exact table cannot finish within their time limit, on two compute
// threads: the pages answer meanwhile, and on SIGTERM every search ends as its time limit would
// and is answered before the host exits.
TEST(HostProgram, PagesAnswerBesideLongSearchesAndAStopAnswersEverySearch) {
  testing::PageHarness harness;
  HostProgram host({"--port=0", "--threads=2", "--compute-threads=2", "--grace-seconds=5",
                    "--log-dir", harness.log_dir().string()});
  const std::uint16_t port = PortOf(host);
  const auto searches = SendEach(
      port, 8,
      testing::PostRequest("/api/v1/layout", R"({"sheet": {"length": 2667.3, "width": 30},)"
                                             R"( "piece": {"length": 3.1, "width": 4.7},)"
                                             R"( "time_limit_ms": 10000})"));
  EXPECT_EQ(MainPageStatus(port), 200);
  // The last waits behind searches of seconds: the page did not wait for it.
  EXPECT_FALSE(searches.back()->HasBytes());
  host.Signal(SIGTERM);
  for (const auto& search : searches) {
    const testing::HttpReply reply = search->Receive();
    EXPECT_EQ(reply.status, 200);
    EXPECT_NE(reply.body.find(R"("complete":false)"), std::string::npos) << reply.body;
  }
  EXPECT_EQ(host.Wait(), 0);
}

TEST(HostProgram, PagesAnswerBesideFiftyPdfs) {
  testing::PageHarness harness;
  HostProgram host({"--port=0", "--threads=2", "--compute-threads=2", "--compute-per-ip=64",
                    "--log-dir", harness.log_dir().string()});
  const std::uint16_t port = PortOf(host);
  const auto pdfs =
      SendEach(port, 50, testing::GetRequest("/plan.pdf?sheet=1200x600&piece=30x30&bleed=1"));
  EXPECT_EQ(MainPageStatus(port), 200);
  EXPECT_FALSE(pdfs.back()->HasBytes());
  for (const auto& pdf : pdfs) {
    const testing::HttpReply reply = pdf->Receive();
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("content-type"), "application/pdf");
  }
  EXPECT_EQ(host.Stop(SIGTERM), 0);
}

// The library's own note of each connection refused at the limit goes to the error log, whose
// repeat counter keeps a flood to a few lines; nothing of it to standard error.
TEST(HostProgram, RefusedConnectionsDoNotFloodItsOutputOrLog) {
  testing::PageHarness harness;
  HostProgram host({"--port=0", "--per-ip-limit=2", "--log-dir", harness.log_dir().string()});
  const std::uint16_t port = PortOf(host);
  testing::HttpConnection first(port), second(port);
  for (int i = 0; i < 100; ++i) {
    testing::HttpConnection refused(port);
    refused.Send(testing::GetRequest("/Main.asp"));
    EXPECT_EQ(refused.Receive().status, 0);
  }
  EXPECT_EQ(host.Stop(SIGTERM), 0);
  EXPECT_EQ(host.RestOfOutput(), "");
  const std::vector<std::string> lines = harness.LogLines();
  EXPECT_LE(lines.size(), static_cast<std::size_t>(kRepeatBurst) + 1);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("repeated"), std::string::npos) << lines.back();
}

TEST(HostProgram, ExplainsItsOptions) {
  HostProgram help({"--help"});
  EXPECT_EQ(help.FirstLine(), "Usage: sheetora-host [options]");
  EXPECT_NE(help.RestOfOutput().find("--per-ip-limit"), std::string::npos);
  EXPECT_EQ(help.Wait(), 0);

  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"--port", "70000"},
                                             {"--threads", "0"},
                                             {"--port"},
                                             {"--colour", "red"},
                                             {"--log-dir", "/no/such/folder"},
                                             {"--per-ip-limit=x"},
                                             {"--header-timeout", "0"},
                                             {"--grace-seconds=-1"}}) {
    HostProgram host(wrong);
    EXPECT_EQ(host.FirstLine().rfind("sheetora-host: ", 0), 0u) << wrong[0];
    EXPECT_EQ(host.Wait(), 2) << wrong[0];
  }
}

TEST(HostProgram, ReportsAnAddressItCannotListenOn) {
  HostProgram host({"--bind", "203.0.113.9", "--port", "0"});
  EXPECT_EQ(host.Wait(), 1);
  EXPECT_NE(host.RestOfOutput().find("sheetora-host: cannot listen"), std::string::npos);
}

// A second host started by mistake on a busy port must not quietly share it with the first.
TEST(HostProgram, RefusesAPortThatIsAlreadyServed) {
  testing::PageHarness harness;
  HostProgram first({"--port", "0", "--log-dir", harness.log_dir().string()});
  const std::string line = first.FirstLine();
  const std::string port = line.substr(line.rfind(':') + 1, line.size() - line.rfind(':') - 2);
  HostProgram second({"--port", port, "--log-dir", harness.log_dir().string()});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_NE(second.RestOfOutput().find("sheetora-host: cannot listen"), std::string::npos);
}

}  // namespace
}  // namespace sheetora
