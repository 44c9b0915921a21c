// The engine's API through a real host on a loopback port, and the sheetora-layout program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/http_server.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::HttpConnection;
using testing::HttpReply;

constexpr std::string_view kJson = "application/json; charset=utf-8";
const std::string kPlain =
    R"({"sheet": {"length": 1092, "width": 787}, "piece": {"length": 210, "width": 140}})";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

/// The text with the value of elapsed_ms, the one figure that differs between runs, blanked.
std::string WithoutElapsed(const std::string& json) {
  constexpr std::string_view kKey = "\"elapsed_ms\":";
  const std::size_t at = json.find(kKey);
  if (at == std::string::npos) return json;
  const std::size_t from = at + kKey.size();
  return json.substr(0, from) + "_" + json.substr(json.find_first_of(",}", from));
}

struct ProgramRun {
  int status = -1;
  std::string out, err;
};

class LayoutApiTest : public ::testing::Test {
 protected:
  LayoutApiTest() {
    HttpServerOptions options;
    options.port = 0;
    options.threads = 1;
    options.log_dir = harness_.log_dir();
    server_ = std::make_unique<HttpServer>(std::move(options));
  }

  HttpReply Send(std::string_view method, std::string_view path, std::string_view body = "",
                 std::string_view content_length = "") {
    std::string request(method);
    request.append(" ").append(path).append(" HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    request.append("Content-Type: application/json\r\nContent-Length: ")
        .append(content_length.empty() ? std::to_string(body.size()) : content_length)
        .append("\r\n\r\n")
        .append(body);
    HttpConnection connection(server_->port());
    connection.Send(request);
    return connection.Receive(method == "HEAD");
  }
  HttpReply Post(std::string_view body) { return Send("POST", "/api/v1/layout", body); }

  /// Runs sheetora-layout with `input` on its standard input.
  ProgramRun RunProgram(const std::string& input, const std::string& args = "") {
    const std::filesystem::path dir = harness_.log_dir();
    std::ofstream(dir / "in.json", std::ios::binary) << input;
    const std::string command = std::string(SHEETORA_LAYOUT_PROGRAM) + " " + args + " < " +
                                (dir / "in.json").string() + " > " + (dir / "out").string() +
                                " 2> " + (dir / "err").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "out"),
            ReadFile(dir / "err")};
  }

  testing::PageHarness harness_;
  std::unique_ptr<HttpServer> server_;
};

TEST_F(LayoutApiTest, PlansAndRefusesInJson) {
  const HttpReply plan = Post(kPlain);
  EXPECT_EQ(plan.status, 200);
  EXPECT_EQ(plan.Header("content-type"), kJson);
  EXPECT_TRUE(plan.body.starts_with(R"({"unit":"mm","ups":)")) << plan.body;

  const HttpReply refused = Post(R"({"sheet": {"length": 1092, "width": 787}})");
  EXPECT_EQ(refused.status, 400);
  EXPECT_EQ(refused.Header("content-type"), kJson);
  EXPECT_EQ(refused.body, "{\"error\":\"is required\",\"field\":\"piece\"}\n");

  // Bytes that are not UTF-8 are refused, and the answer still is.
  const HttpReply bad_bytes = Post("{\"sheet\": \"\xff\xfe\"}");
  EXPECT_EQ(bad_bytes.status, 400);
  EXPECT_TRUE(bad_bytes.body.starts_with(R"({"error":"not valid JSON)")) << bad_bytes.body;
}

TEST_F(LayoutApiTest, RefusesLargeBodiesAndOtherMethodsInJsonAndServesItsDocument) {
  const HttpReply large = Send("POST", "/api/v1/layout", "", "65537");
  EXPECT_EQ(large.status, 413);
  EXPECT_EQ(large.Header("content-type"), kJson);
  EXPECT_TRUE(large.body.starts_with(R"({"error":)")) << large.body;
  // At the limit the body is read and judged on its content.
  EXPECT_EQ(Post(kPlain + std::string(std::size_t{64} * 1024 - kPlain.size(), ' ')).status, 200);

  for (const char* method : {"GET", "PUT", "DELETE"}) {
    const HttpReply reply = Send(method, "/api/v1/layout");
    EXPECT_EQ(reply.status, 405) << method;
    EXPECT_EQ(reply.Header("allow"), "POST");
    EXPECT_EQ(reply.Header("content-type"), kJson);
  }
  const HttpReply post_document = Send("POST", "/api/v1/openapi.json", "{}");
  EXPECT_EQ(post_document.status, 405);
  EXPECT_EQ(post_document.Header("allow"), "GET, HEAD");

  // The API's document is served as kept in the source tree.
  const HttpReply document = Send("GET", "/api/v1/openapi.json");
  EXPECT_EQ(document.status, 200);
  EXPECT_EQ(document.Header("content-type"), kJson);
  EXPECT_EQ(document.body,
            ReadFile(std::filesystem::path(SHEETORA_SOURCE_DIR) / "layout" / "openapi.json"));
}

TEST_F(LayoutApiTest, ProgramWritesTheApiBytesButElapsedTime) {
  const std::string requests[] = {
      kPlain,
      R"({"sheet": {"length": 1092, "width": 787}, "piece": {"length": 210, "width": 140},
          "bleed": 3, "margins": {"gripper": 10}})",
      R"({"sheet": {"length": 546, "width": 393}, "piece": {"length": 210, "width": 297},
          "cut": "die", "time_limit_ms": 100, "job": {"quantity": 5000, "parent": {"length": 1092, "width": 787},
          "grammage": 157, "price": {"per_tonne": 6000}}})",
  };
  for (const std::string& request : requests) {
    const ProgramRun run = RunProgram(request);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(WithoutElapsed(run.out), WithoutElapsed(Post(request).body));
  }
  const std::string bad = R"({"sheet": {"length": 1092, "width": 787}, "piece": 5})";
  const ProgramRun refused = RunProgram(bad);
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, Post(bad).body);

  const ProgramRun help = RunProgram("", "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: sheetora-layout")) << help.out;
}

TEST_F(LayoutApiTest, GangPlansOverHttpAsTheProgramDoes) {
  // A small sheet, quick to plan, and a time limit no loaded machine reaches, so that both
  // answers are the searches' whole work.
  const std::string gang = R"({"sheet": {"length": 320, "width": 240}, "bleed": 3,
      "time_limit_ms": 60000, "items": [{"id": "cards", "length": 90, "width": 55, "quantity": 500},
                                        {"id": "flyers", "length": 148, "width": 99, "quantity": 200}]})";
  const HttpReply plan = Send("POST", "/api/v1/gang", gang);
  EXPECT_EQ(plan.status, 200);
  EXPECT_EQ(plan.Header("content-type"), kJson);
  const ProgramRun run = RunProgram(gang, "--gang");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(WithoutElapsed(run.out), WithoutElapsed(plan.body));

  const std::string bad = R"({"sheet": {"length": 720, "width": 520}, "items": []})";
  const HttpReply refused = Send("POST", "/api/v1/gang", bad);
  EXPECT_EQ(refused.status, 400);
  EXPECT_EQ(refused.body, "{\"error\":\"must hold 1 to 200 items\",\"field\":\"items\"}\n");
  EXPECT_EQ(RunProgram(bad, "--gang").err, refused.body);
  EXPECT_EQ(Send("GET", "/api/v1/gang").Header("allow"), "POST");
}

}  // namespace
}  // namespace sheetora
