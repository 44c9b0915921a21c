// The compute pool through a real host: routes whose handler holds its request until the test
// lets it go, so that what waits, what runs and what is answered can be watched step by step.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/http_server.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::GetRequest;
using testing::HttpConnection;
using testing::HttpReply;
using testing::PostRequest;

/// What the held handlers have done; they wait until the gate opens or their stop is requested.
struct Gate {
  std::mutex mutex;
  std::condition_variable_any changed;
  bool open = false;
  int started = 0;
  int stopped = 0;
  std::vector<std::filesystem::path> files;  // the body files the upload handler saw
};

Gate& TheGate() {
  static Gate gate;
  return gate;
}

AppAnswer Held(const AppRequest& request) {
  Gate& gate = TheGate();
  std::unique_lock lock(gate.mutex);
  ++gate.started;
  gate.changed.notify_all();
  const bool stopped = !gate.changed.wait(lock, request.stop, [&gate] { return gate.open; });
  gate.stopped += stopped ? 1 : 0;
  gate.changed.notify_all();
  return {.content_type = "text/plain", .body = stopped ? "stopped" : "done"};
}

/// Answers the size of the body file it was given.
AppAnswer Upload(const AppRequest& request) {
  {
    const std::lock_guard lock(TheGate().mutex);
    TheGate().files.push_back(request.body_file);
  }
  return {.content_type = "text/plain",
          .body = std::to_string(std::filesystem::file_size(request.body_file))};
}

constexpr std::array kRoutes = {
    AppRoute{.path = "/held", .handler = &Held},
    AppRoute{.path = "/api/held", .handler = &Held},
    AppRoute{
        .path = "/upload", .handler = &Upload, .max_body_bytes = 1 << 20, .body_to_file = true},
};

class ComputePoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gate& gate = TheGate();
    const std::lock_guard lock(gate.mutex);
    gate.open = false;
    gate.started = gate.stopped = 0;
    gate.files.clear();
  }
  void TearDown() override { Open(); }

  void Start(ComputeLimits limits, unsigned header_timeout_seconds = 10,
             RequestHandler pages = ServeSitePage) {
    host_ = std::make_unique<HttpServer>(
        HttpServerOptions{.port = 0,
                          .threads = 1,  // one page thread: a search on it would hold every page
                          .header_timeout_seconds = header_timeout_seconds,
                          .grace_seconds = 60,
                          .compute = limits,
                          .log_dir = logs_.log_dir(),
                          .handler = std::move(pages),
                          .routes = kRoutes});
  }

  /// Waits (generously) until the condition holds.
  static void WaitUntil(const std::function<bool(const Gate&)>& condition) {
    Gate& gate = TheGate();
    std::unique_lock lock(gate.mutex);
    ASSERT_TRUE(
        gate.changed.wait_for(lock, std::chrono::seconds(60), [&] { return condition(gate); }));
  }
  void WaitForPending(std::size_t count) const {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (host_->ComputePending() != count && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(host_->ComputePending(), count);
  }
  static void Open() {
    Gate& gate = TheGate();
    const std::lock_guard lock(gate.mutex);
    gate.open = true;
    gate.changed.notify_all();
  }
  static int Started() {
    const std::lock_guard lock(TheGate().mutex);
    return TheGate().started;
  }

  /// A connection from `from` that has sent a request for `path`.
  std::unique_ptr<HttpConnection> Ask(std::string_view path, const char* from = nullptr) {
    auto connection = std::make_unique<HttpConnection>(host_->port(), from);
    connection->Send(GetRequest(path));
    return connection;
  }

  testing::PageHarness logs_;
  std::unique_ptr<HttpServer> host_;
};

TEST_F(ComputePoolTest, PagesAreServedWhileThePoolIsBusy) {
  Start({.workers = 1, .per_client = 16, .queue = 16});
  std::vector<std::unique_ptr<HttpConnection>> held;
  for (int i = 0; i < 8; ++i) held.push_back(Ask("/held"));
  WaitForPending(8);
  WaitUntil([](const Gate& gate) { return gate.started == 1; });
  EXPECT_EQ(Ask("/Main.asp")->Receive().status, 200);
  EXPECT_EQ(Started(), 1);  // the gate is shut: none of the eight can have been answered
  Open();
  for (const auto& connection : held) {
    const HttpReply reply = connection->Receive();
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "done");
  }
}

TEST_F(ComputePoolTest, RefusesWithRetryAfterBeyondItsBounds) {
  Start({.workers = 1, .per_client = 2, .queue = 2});
  const auto running = Ask("/held", "127.0.0.1");
  WaitUntil([](const Gate& gate) { return gate.started == 1; });
  const auto waiting = Ask("/held", "127.0.0.1");
  WaitForPending(2);
  // The first address has its two; another fills the queue; a third finds it full.
  const HttpReply own = Ask("/held", "127.0.0.1")->Receive();
  EXPECT_EQ(own.status, 503);
  EXPECT_TRUE(own.Header("retry-after").has_value());
  const auto other = Ask("/held", "127.0.0.2");
  WaitForPending(3);
  const HttpReply api = Ask("/api/held", "127.0.0.3")->Receive();
  EXPECT_EQ(api.status, 503);
  EXPECT_TRUE(api.Header("retry-after").has_value());
  EXPECT_EQ(api.Header("content-type"), "application/json; charset=utf-8");
  EXPECT_NE(api.body.find("\"error\""), std::string::npos);
  EXPECT_EQ(Ask("/Main.asp", "127.0.0.3")->Receive().status, 200);
  Open();
  for (HttpConnection* connection : {running.get(), waiting.get(), other.get()}) {
    EXPECT_EQ(connection->Receive().status, 200);
  }
  // What was refused took no room: the bounds hold the same again.
  EXPECT_EQ(Ask("/held", "127.0.0.3")->Receive().status, 200);
}

TEST_F(ComputePoolTest, HangUpStopsRunningWorkAndDropsWaitingWork) {
  Start({.workers = 1, .per_client = 16, .queue = 16});
  auto running = Ask("/held");
  WaitUntil([](const Gate& gate) { return gate.started == 1; });
  auto waiting = Ask("/held");
  WaitForPending(2);
  waiting.reset();
  WaitForPending(1);
  running.reset();
  WaitUntil([](const Gate& gate) { return gate.stopped == 1; });
  WaitForPending(0);
  Open();
  EXPECT_EQ(Ask("/held")->Receive().body, "done");
  EXPECT_EQ(Started(), 2);  // the dropped request never ran
}

TEST_F(ComputePoolTest, CompleteRequestWaitingPastTheHeadTimeOutIsAnswered) {
  Start({.workers = 1, .per_client = 16, .queue = 16}, /*header_timeout_seconds=*/1);
  const auto running = Ask("/held");
  const auto waiting = Ask("/held");
  WaitForPending(2);
  // Past the head time-out and a few of the watchdog's rounds.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  Open();
  EXPECT_EQ(running->Receive().status, 200);
  EXPECT_EQ(waiting->Receive().status, 200);
}

// The same while the page thread itself is held (by a slow page): the head arrived in time,
// though nobody could read it yet.
TEST_F(ComputePoolTest, CompleteHeadUnreadByABusyPageThreadIsAnswered) {
  Start({}, /*header_timeout_seconds=*/1,
        [](std::string_view path, Request& request, Server& server) {
          if (path == "/slow") Held(AppRequest{});
          return ServeSitePage(path, request, server);
        });
  HttpConnection waiting(host_->port());
  waiting.Send("GET /Main.asp HTTP/1.1\r\n");
  // Accepted in order: once a later connection is answered, the first one is being watched.
  EXPECT_EQ(Ask("/Main.asp")->Receive().status, 200);
  const auto slow = Ask("/slow");
  WaitUntil([](const Gate& gate) { return gate.started == 1; });
  waiting.Send("Host: a\r\n\r\n");
  std::this_thread::sleep_for(std::chrono::seconds(3));
  Open();
  EXPECT_EQ(slow->Receive().status, 404);
  EXPECT_EQ(waiting.Receive().status, 200);
}

TEST_F(ComputePoolTest, StoppingAnswersEveryRequestInFlight) {
  Start({.workers = 1, .per_client = 16, .queue = 16});
  std::vector<std::unique_ptr<HttpConnection>> held;
  for (int i = 0; i < 3; ++i) held.push_back(Ask("/held"));
  WaitForPending(3);
  std::thread stop([this] { host_.reset(); });
  for (const auto& connection : held) {
    const HttpReply reply = connection->Receive();
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, "stopped");
  }
  stop.join();
}

TEST_F(ComputePoolTest, StreamsARouteBodyToAFileRemovedAfterTheAnswer) {
  Start({.workers = 1, .per_client = 16, .queue = 16});
  const std::string body(300 * 1024, 'b');
  HttpConnection connection(host_->port());
  connection.Send(PostRequest("/upload", body));
  const HttpReply reply = connection.Receive();
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, std::to_string(body.size()));
  // Past the row's own limit, which is above the host's.
  connection.Send(PostRequest("/upload", std::string((1 << 20) + 1, 'b')));
  EXPECT_EQ(connection.Receive().status, 413);
  host_.reset();
  ASSERT_EQ(TheGate().files.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(TheGate().files.front()));
}

}  // namespace
}  // namespace sheetora
