#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/http_server.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::HttpConnection;
using testing::PostRequest;

// Eight clients post to the real host at once, each on its own kept-alive connection, each with
// pieces of its own size; every other post fails inside the page and is logged. Every client
// must get exactly its own results and cookie, and the log exactly the failing posts' lines.
TEST(HostConcurrency, ConcurrentRequestsGetOnlyTheirOwnResponsesAndLogLines) {
  constexpr int kClients = 8, kRounds = 100;
  testing::PageHarness logs;
  auto host = std::make_unique<HttpServer>(
      HttpServerOptions{.port = 0, .threads = 4, .log_dir = logs.log_dir()});

  std::atomic<int> wrong = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      HttpConnection connection(host->port());
      const int piece = 100 + c;  // 1092 \ piece columns of 787 \ 100 rows in one grid
      const std::string ups = std::to_string((1092 / piece) * (787 / 100));
      const std::string form = "PaperL=1092&PaperW=787&PL=" + std::to_string(piece) +
                               "&PW=100&BigSmall=1&PaiLie=HP&FanBan=1&Submit=x";
      // A sheet past the 32-bit range overflows the grid's whole-number division.
      const std::string failing = "PaperL=2147483648&PaperW=787&PL=" + std::to_string(piece) +
                                  "&PW=100&BigSmall=1&PaiLie=HP&FanBan=1&Submit=x";
      for (int i = 0; i < kRounds; ++i) {
        const bool fail = i % 2 == 1;
        connection.Send(PostRequest("/PinBan.asp", fail ? failing : form));
        const auto reply = connection.Receive();
        const bool ok =
            reply.status == 200 &&
            reply.Header("set-cookie").value_or("").find("&PL=" + std::to_string(piece) + "&") !=
                std::string::npos &&
            (fail ? reply.body.empty()
                  : reply.body.find("<th width=\"70\">" + ups + "</th>") != std::string::npos);
        if (!ok) ++wrong;
      }
    });
  }
  for (auto& client : clients) client.join();

  EXPECT_EQ(wrong, 0);
  host.reset();  // writes the count of repeats held back
  EXPECT_EQ(logs.LoggedCount("\\Sheetora_Web\\PinBan, AllTORVA: Overflow"), kClients * kRounds / 2);
}

}  // namespace
}  // namespace sheetora
