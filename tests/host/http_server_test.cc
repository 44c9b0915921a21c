#include "host/http_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "runtime/page.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::GetRequest;
using testing::HttpConnection;
using testing::HttpReply;
using testing::PostRequest;

/// Writes the posted field "n" back, through the page context of the thread it runs on.
class EchoPage : public Page {
 public:
  EchoPage() : Page("echo") {}
  void AllTORVA() override {
    const Value n = FormItem("n");
    std::this_thread::yield();  // lets another request's page run in between
    Write(n);
  }
};

class HostTest : public ::testing::Test {
 protected:
  void Start(RequestHandler handler = ServeSitePage, unsigned threads = 2) {
    HttpServerOptions options;
    options.threads = threads;
    options.handler = std::move(handler);
    Start(std::move(options));
  }
  void Start(HttpServerOptions options) {
    options.port = 0;
    options.log_dir = harness_.log_dir();
    server_ = std::make_unique<HttpServer>(std::move(options));
  }

  /// Serves every path with a page that writes "ok", keeping a copy of the request it got.
  void StartRecording() {
    Start([this](std::string_view, Request& request, Server&) {
      const std::lock_guard lock(mutex_);
      recorded_ = request;
      PageOutcome outcome;
      outcome.response.Write("ok");
      return outcome;
    });
  }

  Request Recorded() {
    const std::lock_guard lock(mutex_);
    return recorded_;
  }

  /// Sends one request on a new connection and reads the answer.
  HttpReply Exchange(std::string_view request, bool head = false) {
    HttpConnection connection(server_->port());
    connection.Send(request);
    return connection.Receive(head);
  }
  HttpReply Get(std::string_view path) { return Exchange(GetRequest(path)); }
  HttpReply Post(std::string_view path, std::string_view body) {
    return Exchange(PostRequest(path, body));
  }

  static void ExpectHostHeaders(const HttpReply& reply) {
    EXPECT_EQ(reply.Header("content-type"), "text/html; charset=gb2312");
    EXPECT_EQ(reply.Header("x-frame-options"), "SAMEORIGIN");
    EXPECT_EQ(reply.Header("content-security-policy"), "frame-ancestors 'self'");
    EXPECT_EQ(reply.Header("cache-control"), std::nullopt);
  }

  testing::PageHarness harness_;
  std::unique_ptr<HttpServer> server_;
  std::mutex mutex_;
  Request recorded_;
};

TEST_F(HostTest, ServesThePagesAsGb2312WithTheFramingHeaders) {
  Start();
  const std::pair<const char*, const char*> pages[] = {
      {"/", "Sheetora.Class57"},         {"/index.asp", "Sheetora.Class57"},
      {"/Main.asp", "Sheetora.Class59"}, {"/CopyRight.asp", "Sheetora.Class54"},
      {"/mAIN.aSP", "Sheetora.Class59"},
  };
  for (const auto& [path, class_name] : pages) {
    SCOPED_TRACE(path);
    const HttpReply reply = Get(path);
    EXPECT_EQ(reply.status, 200);
    ExpectHostHeaders(reply);
    EXPECT_EQ(reply.body, testing::Gb2312(harness_.Html(class_name)));
  }
  EXPECT_NE(Get("/Main.asp").body.find("\xBF\xAA\xB0\xE6"), std::string::npos);  // 开版
}

TEST_F(HostTest, AnswersOtherPathsAndMethodsWithShortErrors) {
  Start();
  for (const char* path : {"/nothing.asp", "/Main.asp/", "/fuc.asp", "/../Main.asp"}) {
    const HttpReply reply = Get(path);
    EXPECT_EQ(reply.status, 404) << path;
    ExpectHostHeaders(reply);
    EXPECT_LT(reply.body.size(), 200u);
  }
  const HttpReply put = Exchange("PUT /Main.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\n\r\nx");
  EXPECT_EQ(put.status, 405);
  EXPECT_EQ(put.Header("allow"), "GET, HEAD, POST");
  ExpectHostHeaders(put);

  const HttpReply head = Exchange("HEAD /Main.asp HTTP/1.1\r\nHost: a\r\n\r\n", true);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("content-length"), std::to_string(Get("/Main.asp").body.size()));
}

TEST_F(HostTest, KeepsTheConnectionForTheNextRequest) {
  Start();
  HttpConnection connection(server_->port());
  ASSERT_TRUE(connection.Send(GetRequest("/Main.asp")));
  const HttpReply first = connection.Receive();
  ASSERT_TRUE(connection.Send(PostRequest("/CopyRight.asp", "a=1")));
  const HttpReply second = connection.Receive();
  ASSERT_TRUE(connection.Send(GetRequest("/none")));
  const HttpReply third = connection.Receive();
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(second.status, 200);
  EXPECT_EQ(third.status, 404);
  EXPECT_EQ(first.Header("connection"), std::nullopt);
  EXPECT_EQ(second.body, testing::Gb2312(harness_.Html("Sheetora.Class54")));
}

TEST_F(HostTest, DecodesFormPostsFromGbBytesToUtf8) {
  StartRecording();
  // 中文, GBK's euro byte, a GB18030 four-byte code, an invalid byte, "+" for a blank.
  ASSERT_EQ(Post("/PinBan.asp?q=1&PaperL=9",
                 "PaperL=%D6%D0%CE%C4&Euro=%80&Four=%81%30%81%30&Bad=a%FFb&Blank=a+b"
                 "&Twice=1&Twice=2&Empty=&%D6%D0=key&Amp=%26%3D")
                .status,
            200);
  const Request request = Recorded();
  EXPECT_EQ(request.Form("PaperL"), "中文");
  EXPECT_EQ(request.Form("Euro"), "€");
  EXPECT_EQ(request.Form("Four"), "\u0080");
  EXPECT_EQ(request.Form("Bad"), "a\uFFFDb");
  EXPECT_EQ(request.Form("Blank"), "a b");
  EXPECT_EQ(request.Form("Twice"), "1, 2");
  EXPECT_EQ(request.Form("Empty"), "");
  EXPECT_EQ(request.Form("中"), "key");
  EXPECT_EQ(request.Form("Amp"), "&=");
  EXPECT_EQ(request.Form("q"), std::nullopt);  // the query string holds no form fields
  EXPECT_EQ(request.Form("Absent"), std::nullopt);
}

TEST_F(HostTest, ReadsFieldsOnlyFromUrlencodedBodies) {
  StartRecording();
  const std::string body = "PaperL=1";
  for (const char* type : {"text/plain", "multipart/form-data; boundary=x", "application/json"}) {
    ASSERT_EQ(Exchange("POST / HTTP/1.1\r\nHost: a\r\nContent-Type: " + std::string(type) +
                       "\r\nContent-Length: 8\r\n\r\n" + body)
                  .status,
              200);
    EXPECT_EQ(Recorded().Form("PaperL"), std::nullopt) << type;
  }
  ASSERT_EQ(Exchange("POST / HTTP/1.1\r\nHost: a\r\nContent-Type: Application/X-WWW-Form-Urlencoded"
                     "; charset=GBK\r\nContent-Length: 8\r\n\r\n" +
                     body)
                .status,
            200);
  EXPECT_EQ(Recorded().Form("PaperL"), "1");
}

// However a body is cut into pieces on its way, the fields come out the same.
TEST_F(HostTest, FormFieldsDoNotDependOnHowTheBodyArrives) {
  StartRecording();
  const std::string body = "ab=12%D6%D0&cd=&ab=3&e=%4";
  for (std::size_t cut = 0; cut <= body.size(); ++cut) {
    HttpConnection connection(server_->port());
    const std::string first = body.substr(0, cut), second = body.substr(cut);
    std::string chunked =
        "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
    connection.Send(chunked);
    for (const std::string& piece : {first, second}) {
      if (piece.empty()) continue;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      char size[16];
      std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      connection.Send(size + piece + "\r\n");
    }
    connection.Send("0\r\n\r\n");
    ASSERT_EQ(connection.Receive().status, 200);
    const Request request = Recorded();
    EXPECT_EQ(request.Form("ab"), "12中, 3") << cut;
    EXPECT_EQ(request.Form("cd"), "") << cut;
  }
}

// Fields that the daemon's own form parser spoiled: an unfinished escape ate the next field, an
// empty name dropped every later one, a long name the whole form.
TEST_F(HostTest, NoFieldSpoilsTheOthers) {
  StartRecording();
  const std::string long_name(3000, 'n');
  ASSERT_EQ(Post("/", "X=%&PaperL=1092&=1&PW=%4&" + long_name + "=v&PL=%zz%D6%D0&&PaiLie").status,
            200);
  const Request request = Recorded();
  EXPECT_EQ(request.Form("X"), "%");
  EXPECT_EQ(request.Form("PaperL"), "1092");
  EXPECT_EQ(request.Form("PW"), "%4");
  EXPECT_EQ(request.Form(long_name), "v");
  EXPECT_EQ(request.Form("PL"), "%zz中");
  EXPECT_EQ(request.Form("PaiLie"), "");
  EXPECT_EQ(request.Form(""), std::nullopt);
}

// Heads that two readers could frame two ways, or that hide what they ask for: refused at once,
// and the connection closed, so that nothing after them is read as a request of its own.
TEST_F(HostTest, RefusesAmbiguousHeadsAndClosesAtOnce) {
  Start();
  const std::string form = "Content-Type: application/x-www-form-urlencoded\r\n";
  const struct {
    std::string request;
    int status;
  } cases[] = {
      {"POST /PinBan.asp HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\nContent-Length: 40\r\n" +
           form + "\r\nPL=1GET /Main.asp HTTP/1.1\r\nHost: a\r\n\r\n",
       400},
      {"POST /PinBan.asp HTTP/1.1\r\nHost: a\r\nContent-Length : 4\r\n" + form + "\r\nPL=1", 400},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: gzip\r\n\r\nxyz", 501},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: identity\r\n\r\nxyz", 501},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: gzip, chunked\r\n\r\n0\r\n\r\n", 501},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked, identity\r\n\r\nxyz", 400},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"
       "0\r\n\r\n",
       400},
      {"GET /PinBan.asp%00.png HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET /Main.asp%0a HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET /Main.asp%7F?x=1 HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET /Main.asp HTTP/1.1\r\n\r\n", 400},
      {"GET /Main.asp HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
      // A blank the daemon keeps in the value, or a second header, hides the chunked coding.
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\t\r\n\r\n0\r\n\r\n", 400},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
       "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
       400},
      // What stays allowed: the same length twice, chunked in any case, no Host in HTTP/1.0,
      // an escaped control character in the query.
      {"POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx", 200},
      {"POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: Chunked\r\n\r\n0\r\n\r\n", 200},
      {"GET /Main.asp HTTP/1.0\r\n\r\n", 200},
      {"GET /Main.asp?x=%00 HTTP/1.1\r\nHost: a\r\n\r\n", 200},
  };
  for (const auto& c : cases) {
    HttpConnection connection(server_->port());
    connection.Send(c.request);
    // A request left hanging would meet the client's time-out here.
    const HttpReply reply = connection.Receive();
    EXPECT_EQ(reply.status, c.status) << c.request;
    if (c.status == 200) continue;
    EXPECT_TRUE(connection.ClosedByServer(std::chrono::seconds(5))) << c.request;
  }
}

TEST_F(HostTest, ReadsCookieSubkeysAndSendsResponseCookies) {
  Start([this](std::string_view, Request& request, Server&) {
    {
      const std::lock_guard lock(mutex_);
      recorded_ = request;
    }
    PageOutcome outcome;
    outcome.response.SetCookieSubkey("PinBan", "PaperL", "1092");
    outcome.response.SetCookieSubkey("PinBan", "PW", "140");
    outcome.response.SetCookieExpires(
        "PinBan", std::chrono::sys_days(std::chrono::year(2027) / std::chrono::December / 2));
    outcome.response.SetCookieSubkey("Other", "k", "中");
    return outcome;
  });
  const HttpReply reply =
      Exchange(GetRequest("/", "Cookie: PinBan=PaperL=1092&PL=%D6%D0; bare; Other=k=v\r\n"));
  const Request request = Recorded();
  EXPECT_EQ(request.CookieSubkey("PinBan", "PaperL"), "1092");
  EXPECT_EQ(request.CookieSubkey("PinBan", "PL"), "中");
  EXPECT_EQ(request.CookieSubkey("Other", "k"), "v");
  EXPECT_EQ(reply.Headers("set-cookie"),
            (std::vector<std::string>{
                "Other=k=%D6%D0; path=/",
                "PinBan=PaperL=1092&PW=140; expires=Thu, 02 Dec 2027 00:00:00 GMT; path=/"}));
}

TEST_F(HostTest, RefusesBodiesOverTheLimit) {
  StartRecording();
  // A declared length is refused before any of the body is read.
  HttpReply reply = Exchange(
      "POST /Main.asp HTTP/1.1\r\nHost: a\r\nContent-Type: application/x-www-form-urlencoded\r\n"
      "Content-Length: 2147483648\r\n\r\n");
  EXPECT_EQ(reply.status, 413);
  ExpectHostHeaders(reply);
  EXPECT_EQ(Exchange(GetRequest("/", "Content-Length: 99999999999999999999999\r\n")).status, 413);
  // A client that sends a large body whole before it reads still gets the answer, not a reset.
  {
    HttpConnection whole(server_->port());
    const std::string body(16 * 1024 * 1024, 'n');  // more than the sockets' buffers hold
    ASSERT_TRUE(whole.Send(PostRequest("/", body)));
    EXPECT_EQ(whole.Receive().status, 413);
  }

  // The largest body allowed gets through in full.
  const std::string largest = "n=" + std::string(64 * 1024 - 2, 'x');
  ASSERT_EQ(Post("/", largest).status, 200);
  EXPECT_EQ(Recorded().Form("n")->size(), 64 * 1024 - 2);

  // A chunked body that runs past the limit loses its connection and runs no page.
  HttpConnection connection(server_->port());
  connection.Send(
      "POST /x HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\n\r\n");
  const std::string chunk = "2000\r\n" + std::string(0x2000, 'y') + "\r\n";
  for (int i = 0; i < 9 && connection.Send(chunk); ++i) {
  }
  connection.Send("0\r\n\r\n");
  EXPECT_EQ(connection.Receive().status, 0);
  EXPECT_EQ(Recorded().Form("n")->size(), 64 * 1024 - 2);
}

TEST_F(HostTest, LimitsConnectionsFromOneAddress) {
  Start(HttpServerOptions{.per_ip_connection_limit = 2});
  HttpConnection first(server_->port()), second(server_->port()), third(server_->port());
  third.Send(GetRequest("/Main.asp"));
  EXPECT_EQ(third.Receive().status, 0);
  second.Send(GetRequest("/Main.asp"));
  EXPECT_EQ(second.Receive().status, 200);
}

TEST_F(HostTest, RefusesOversizedHeadersAndKeepsServing) {
  Start();
  const HttpReply reply =
      Exchange(GetRequest("/Main.asp", "X-Long: " + std::string(40 * 1024, 'h') + "\r\n"));
  EXPECT_EQ(reply.status, 431);  // answered, not dropped
  EXPECT_EQ(Get("/Main.asp").status, 200);
}

TEST_F(HostTest, AnswersAFaultThatEscapesWith500AndLogsIt) {
  Start([](std::string_view path, Request&, Server&) -> PageOutcome {
    if (path == "/throw") throw std::runtime_error("no memory left");
    return {.status = 500};
  });
  const HttpReply thrown = Get("/throw");
  EXPECT_EQ(thrown.status, 500);
  ExpectHostHeaders(thrown);
  EXPECT_EQ(harness_.LogLines(),
            std::vector<std::string>{"\\Sheetora_Web\\host, request: no memory left"});
  const HttpReply failed = Get("/page");
  EXPECT_EQ(failed.status, 500);
  EXPECT_EQ(failed.body, thrown.body);
}

TEST_F(HostTest, ConcurrentRequestsEachGetTheirOwnPage) {
  Start([](std::string_view, Request& request, Server& server) {
    EchoPage page;
    return RunPage(page, request, server);
  });
  constexpr int kClients = 4, kRequests = 200;
  std::vector<std::string> wrong(kClients);
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      HttpConnection connection(server_->port());
      for (int i = 0; i < kRequests; ++i) {
        const std::string n = std::to_string(c * 100000 + i);
        connection.Send(PostRequest("/", "n=" + n));
        const HttpReply reply = connection.Receive();
        if (reply.body != n && wrong[c].empty()) wrong[c] = n + " got " + reply.body;
      }
    });
  }
  for (auto& client : clients) client.join();
  for (const std::string& w : wrong) EXPECT_EQ(w, "");
}

// Requests that become ready together while the worker is busy, as under a load test. With
// epoll, 128 ready connections (a full batch of events) stalled the worker until the time-out.
TEST_F(HostTest, AnswersManyRequestsReadyAtOnce) {
  Start(
      [](std::string_view path, Request&, Server&) {
        if (path == "/slow") std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return PageOutcome{};
      },
      1);
  constexpr int count = 128;
  std::vector<std::unique_ptr<HttpConnection>> connections;
  for (int i = 0; i < count; ++i) {
    connections.push_back(std::make_unique<HttpConnection>(server_->port()));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // all accepted and idle
  HttpConnection slow(server_->port());
  slow.Send(GetRequest("/slow"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  for (auto& connection : connections) connection->Send(GetRequest("/"));
  int answered = slow.Receive().status == 200;
  for (auto& connection : connections) answered += connection->Receive().status == 200;
  EXPECT_EQ(answered, count + 1);
}

// Random bytes, cut-off requests and malformed lines: whatever comes, the host answers the
// next client normally.
TEST_F(HostTest, SurvivesGarbage) {
  Start();
  std::mt19937 random(20240611);
  const std::string starts[] = {
      "GET /Main.asp HTTP/1.1\r\nHost: a\r\n",
      "POST /PinBan.asp HTTP/1.1\r\nHost: a\r\nContent-Type: application/x-www-form-urlencoded\r\n"
      "Transfer-Encoding: chunked\r\n\r\n",
      "POST / HTTP/1.1\r\nContent-Length: 5\r\nCookie: PinBan=",
      "",
  };
  for (int round = 0; round < 120; ++round) {
    std::string bytes = starts[round % std::size(starts)];
    const int length = std::uniform_int_distribution<int>(0, 300)(random);
    for (int i = 0; i < length; ++i) {
      bytes.push_back(static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random)));
    }
    if (round % 3 == 0) bytes += "\r\n\r\n";
    HttpConnection connection(server_->port());
    connection.Send(bytes);
    if (round % 2 == 0) connection.ClosedByServer(std::chrono::milliseconds(20));  // or hang up
  }
  const HttpReply reply = Get("/Main.asp");
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.body, testing::Gb2312(harness_.Html("Sheetora.Class59")));
}

}  // namespace
}  // namespace sheetora
