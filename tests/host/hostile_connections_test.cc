// The host against clients that hold connections, flood it or send what no browser sends: it
// refuses them with bounded memory and keeps serving everyone else.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/http_server.h"
#include "runtime/error_log.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::GetRequest;
using testing::HttpConnection;
using testing::PostRequest;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Resident memory of this process, which runs the host, in KiB.
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmRSS:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// What a flood may cost the host at most.
constexpr long kMemoryBoundKiB = 16 * 1024;

class HostileConnections : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Several hundred client sockets and as many on the host's side.
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
    setrlimit(RLIMIT_NOFILE, &files);
  }

  void StartHost(HttpServerOptions options = {}) {
    options.port = 0;
    options.threads = 2;
    options.log_dir = logs_.log_dir();
    host_ = std::make_unique<HttpServer>(std::move(options));
  }
  std::uint16_t port() const { return host_->port(); }

  // A normal request on a fresh connection: its status, 0 when none came.
  int MainPageStatus() {
    HttpConnection client(port());
    client.Send(GetRequest("/Main.asp"));
    return client.Receive().status;
  }

  testing::PageHarness logs_;  // for its log folder
  std::unique_ptr<HttpServer> host_;
};

TEST_F(HostileConnections, HalfRequestsHeldOnALoadTestsConnectionsDoNotStarveOthers) {
  StartHost();
  std::vector<std::unique_ptr<HttpConnection>> held;
  for (int i = 0; i < 256; ++i) {  // bench/load.sh's connections
    held.push_back(std::make_unique<HttpConnection>(port()));
    ASSERT_TRUE(held.back()->Send("GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  }
  EXPECT_EQ(MainPageStatus(), 200);

  // The held requests were only waiting: finished, each gets its answer. So the default
  // per-address cap lets this many connections through, as a proxy or a load test needs.
  int answered = 0;
  for (auto& client : held) client->Send("\r\n");
  for (auto& client : held) answered += client->Receive().status == 200;
  EXPECT_EQ(answered, 256);
}

TEST_F(HostileConnections, ClientPastThePerAddressCapIsRefusedWhileOthersAreServed) {
  StartHost({.per_ip_connection_limit = 4});
  std::vector<std::unique_ptr<HttpConnection>> open;
  for (int i = 0; i < 4; ++i) open.push_back(std::make_unique<HttpConnection>(port()));

  HttpConnection fifth(port());
  fifth.Send(GetRequest("/Main.asp"));
  EXPECT_TRUE(fifth.ClosedByServer(2s));

  HttpConnection other_address(port(), "127.0.0.2");
  other_address.Send(GetRequest("/Main.asp"));
  EXPECT_EQ(other_address.Receive().status, 200);

  open[0]->Send(GetRequest("/Main.asp"));
  EXPECT_EQ(open[0]->Receive().status, 200);
}

TEST_F(HostileConnections, HugeAndEndlessBodiesAreNotReadAndCostNoMemory) {
  StartHost();
  const long before = ResidentKiB();
  {
    // The client sends on regardless of the refusal.
    HttpConnection client(port());
    client.Send(
        "POST /PinBan.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 2147483648\r\n\r\n");
    client.Send(std::string(256 * 1024, 'a'));
    EXPECT_EQ(client.Receive().status, 413);
  }
  {
    HttpConnection client(port());
    client.Send(
        "POST /PinBan.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n");
    const std::string chunk = "1000\r\n" + std::string(0x1000, 'a') + "\r\n";
    std::size_t sent = 0;
    while (sent < (64u << 20) && client.Send(chunk)) sent += chunk.size();
    EXPECT_LT(sent, 16u << 20) << "the host read on past the body limit";
    EXPECT_TRUE(client.ClosedByServer(2s));
  }
  EXPECT_LT(ResidentKiB() - before, kMemoryBoundKiB);
  EXPECT_EQ(MainPageStatus(), 200);
}

TEST_F(HostileConnections, OversizedRequestsAreRefusedAndTheHostAnswersAfter) {
  StartHost();
  std::string many_headers;
  for (int i = 0; i < 5000; ++i)
    many_headers.append("X-H").append(std::to_string(i)).append(": v\r\n");
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string requests[] = {
      GetRequest(std::string("/").append(100 * 1024, 'a')),
      GetRequest("/Main.asp", "X-Long: " + std::string(100 * 1024, 'b') + "\r\n"),
      GetRequest("/Main.asp", many_headers),
      GetRequest("/Main.asp", "Cookie: " + std::string(20 * 1024, '=') + "\r\n"),
      noise,
  };
  const long before = ResidentKiB();
  for (const std::string& request : requests) {
    HttpConnection client(port());
    client.Send(request);
    const int status = client.Receive().status;
    // A refusal or a closed connection; never a page or a fault of the host.
    EXPECT_TRUE(status == 0 || (status >= 400 && status < 500)) << status;
    EXPECT_EQ(MainPageStatus(), 200);
  }
  EXPECT_LT(ResidentKiB() - before, kMemoryBoundKiB);
  // Only the daemon's own notes of what it refused: no fault of a page or of the host.
  for (const std::string& line : logs_.LogLines()) {
    EXPECT_TRUE(line.starts_with("\\Sheetora_Web\\host, daemon: ")) << line;
  }
}

// Form bodies no browser sends run the page like any other post.
TEST_F(HostileConnections, MalformedFormBodiesStillGetThePage) {
  StartHost();
  const std::string bodies[] = {
      "PaperL=%ff%fe%80%81&PaperW=787",
      "PaperL=%00%00&PW=%",
      "%%%%=&&&==&=%zz",
      std::string(60 * 1024, 'k') + "=1",
      "PaperL=1&" + std::string(30 * 1024, '&'),
      std::string("PaperL=\xff\xfe\x81\x30", 11),
  };
  for (const std::string& body : bodies) {
    HttpConnection client(port());
    client.Send(PostRequest("/PinBan.asp", body));
    const auto reply = client.Receive();
    EXPECT_EQ(reply.status, 200) << body.substr(0, 40);
    EXPECT_EQ(reply.body.find("<script>alert"), std::string::npos);
  }
  EXPECT_EQ(logs_.LogText(), "");
}

// 1000 connections from two addresses, each sending a header line every two seconds: the
// per-address limit leaves room below the total, so that a client from a third address is served
// while they still trickle; no single byte is late, but every head is, and the host closes them
// after its head deadline.
TEST_F(HostileConnections, TrickledHeadsFromTwoAddressesLeaveRoomAndCloseAtTheirDeadline) {
  StartHost();
  std::vector<std::unique_ptr<HttpConnection>> trickling;
  for (int i = 0; i < 1000; ++i) {
    trickling.push_back(
        std::make_unique<HttpConnection>(port(), i < 512 ? "127.0.0.1" : "127.0.0.2"));
    trickling.back()->Send("GET /Main.asp HTTP/1.1\r\nHost: a\r\n");
  }
  std::atomic<bool> done = false;
  std::thread trickler([&] {
    for (auto next = Clock::now(); !done && Clock::now() < next + 20s; next += 2s) {
      for (auto& connection : trickling) connection->Send("X-Slow: 1\r\n");
      while (!done && Clock::now() < next + 2s) std::this_thread::sleep_for(50ms);
    }
  });

  const auto start = Clock::now();
  int status = 0;
  while (status != 200 && Clock::now() - start < 15s) {
    try {
      HttpConnection third(port(), "127.0.0.3");
      third.Send(GetRequest("/Main.asp"));
      status = third.Receive().status;
    } catch (const std::runtime_error&) {
      // Not accepted yet.
    }
    if (status != 200) std::this_thread::sleep_for(250ms);
  }
  EXPECT_EQ(status, 200);
  // Served beside them, not after them: the first of each address is still open.
  EXPECT_FALSE(trickling[0]->ClosedByServer(0s));
  EXPECT_FALSE(trickling[512]->ClosedByServer(0s));
  // The trickling connections are closed at their deadline, not served.
  EXPECT_TRUE(trickling[0]->ClosedByServer(20s));
  EXPECT_TRUE(trickling[512]->ClosedByServer(20s));
  done = true;
  trickler.join();
}

// An error that every request meets (a GET of the paper page without its fields): five seconds
// of it write its first lines and the count of the rest, not a line per request.
TEST_F(HostileConnections, FloodOfOneErrorIsCountedNotWrittenLineByLine) {
  StartHost();
  std::atomic<long> answered = 0;
  std::vector<std::thread> clients;
  const auto end = Clock::now() + 5s;
  for (int c = 0; c < 8; ++c) {
    clients.emplace_back([&] {
      HttpConnection connection(port());
      while (Clock::now() < end && connection.Send(GetRequest("/Paper.asp"))) {
        if (connection.Receive().status != 200) break;
        ++answered;
      }
    });
  }
  for (auto& client : clients) client.join();
  EXPECT_GT(answered, 1000);
  const std::string text = logs_.LogLines().at(0);
  EXPECT_LE(logs_.LogText().size(), 1u << 20);
  RecordProperty("requests", std::to_string(answered));
  RecordProperty("log_bytes", std::to_string(logs_.LogText().size()));
  host_.reset();  // writes the count held back
  EXPECT_EQ(logs_.LoggedCount(text), answered) << text;
  EXPECT_LE(logs_.LogLines().size(), 2u * kRepeatBurst);
}

}  // namespace
}  // namespace sheetora
