// The host against clients that hold connections, flood it or send what no browser sends: it
// refuses them with bounded memory and keeps serving everyone else.
#include <stdlib.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/http_server.h"
#include "tests/support/page_harness.h"
#include "tests/support/raw_client.h"

namespace sheetora {
namespace {

using testing::BodyOf;
using testing::BrowserRequest;
using testing::RawConnection;
using testing::StatusOf;
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

  // A normal request on a fresh connection: its status, 0 when none came within the timeout.
  int Status(std::string_view path, std::chrono::milliseconds timeout = 2s) {
    RawConnection client(port());
    client.Send(BrowserRequest(path));
    return StatusOf(client.ReadResponse(timeout));
  }

  testing::PageHarness logs_;  // for its log folder
  std::unique_ptr<HttpServer> host_;
};

TEST_F(HostileConnections, HalfRequestsHeldOnThreeHundredConnectionsDoNotStarveOthers) {
  StartHost();
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 300; ++i) {
    held.push_back(std::make_unique<RawConnection>(port()));
    ASSERT_TRUE(held.back()->Send("GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
  }
  const auto start = Clock::now();
  EXPECT_EQ(Status("/Main.asp", 1s), 200);
  EXPECT_LT(Clock::now() - start, 1s);

  // The held requests were only waiting: finished, each gets its answer.
  int answered = 0;
  for (auto& client : held) client->Send("\r\n");
  for (auto& client : held) answered += StatusOf(client->ReadResponse(2s)) == 200;
  EXPECT_EQ(answered, 300) << "the default per-address cap must let this many through";
}

TEST_F(HostileConnections, ClientPastThePerAddressCapIsRefusedWhileOthersAreServed) {
  StartHost({.per_ip_connection_limit = 4});
  std::vector<std::unique_ptr<RawConnection>> open;
  for (int i = 0; i < 4; ++i) open.push_back(std::make_unique<RawConnection>(port()));

  RawConnection fifth(port());
  fifth.Send(BrowserRequest("/Main.asp"));
  EXPECT_TRUE(fifth.ClosedByHost(2s));

  RawConnection other_address(port(), "127.0.0.2");
  other_address.Send(BrowserRequest("/Main.asp"));
  EXPECT_EQ(StatusOf(other_address.ReadResponse()), 200);

  // The capped connections themselves are served.
  open[0]->Send(BrowserRequest("/Main.asp"));
  EXPECT_EQ(StatusOf(open[0]->ReadResponse()), 200);
}

TEST_F(HostileConnections, HugeDeclaredAndEndlessChunkedBodiesAreRefusedWithMemoryBounded) {
  StartHost();
  const long before = ResidentKiB();
  {
    RawConnection client(port());
    client.Send(
        "POST /PinBan.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 2147483648\r\n\r\n");
    client.Send(std::string(64 * 1024, 'a'));
    EXPECT_EQ(StatusOf(client.ReadResponse()), 413);
  }
  {
    RawConnection client(port());
    client.Send(
        "POST /PinBan.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Length: 99999999999999999999999\r\n\r\n");
    EXPECT_EQ(StatusOf(client.ReadResponse()), 413);
  }
  {
    RawConnection client(port());
    client.Send(
        "POST /PinBan.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n");
    const std::string chunk = "1000\r\n" + std::string(0x1000, 'a') + "\r\n";
    std::size_t sent = 0;
    while (sent < (64u << 20) && client.Send(chunk)) sent += chunk.size();
    EXPECT_LT(sent, 16u << 20) << "the host read on past the body limit";
    EXPECT_TRUE(client.ClosedByHost(2s));
  }
  EXPECT_LT(ResidentKiB() - before, 16 * 1024);
  EXPECT_EQ(Status("/Main.asp"), 200);
}

TEST_F(HostileConnections, OversizedAndMalformedRequestsAreRefusedAndTheHostAnswersAfter) {
  StartHost();
  std::string many_headers = "GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  for (int i = 0; i < 5000; ++i) many_headers += "X-H" + std::to_string(i) + ": v\r\n";
  std::mt19937 random(7);
  std::string noise(64 * 1024, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string requests[] = {
      "GET /" + std::string(100 * 1024, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
      "GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Long: " + std::string(100 * 1024, 'b') +
          "\r\n\r\n",
      many_headers + "\r\n",
      noise,
      "GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + std::string(20 * 1024, '=') +
          "\r\n\r\n",
      "GET /Main.asp HTTP/9.9\r\n\r\n",
      "FOO /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
      "GET /Main.asp HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
  };
  const long before = ResidentKiB();
  for (const std::string& request : requests) {
    RawConnection client(port());
    client.Send(request);
    const int status = StatusOf(client.ReadResponse(2s));
    // A refusal (4xx or 505) or a closed connection; never a page or a fault of the host.
    EXPECT_TRUE(status == 0 || (status >= 400 && status < 500) || status == 505)
        << status << " for " << request.substr(0, 60);
    EXPECT_EQ(Status("/Main.asp"), 200) << "after " << request.substr(0, 60);
  }
  EXPECT_LT(ResidentKiB() - before, 16 * 1024);
  EXPECT_EQ(logs_.LogText(), "");
}

// Form bodies no browser sends: they run the page like any other post.
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
    RawConnection client(port());
    client.Send(BrowserRequest("/PinBan.asp", body));
    const std::string response = client.ReadResponse();
    EXPECT_EQ(StatusOf(response), 200) << body.substr(0, 40);
    EXPECT_EQ(BodyOf(response).find("<script>alert"), std::string_view::npos);
  }
  EXPECT_EQ(logs_.LogText(), "");
}

}  // namespace
}  // namespace sheetora
