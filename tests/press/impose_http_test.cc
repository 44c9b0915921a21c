// /api/v1/impose through a real host: the body streamed to a file and imposed, a body over
// 50 MiB refused on its declared length, and a slow upload holding no compute worker while it
// trickles in.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/http_server.h"
#include "tests/support/http_client.h"
#include "tests/support/page_harness.h"

namespace sheetora {
namespace {

using testing::HttpConnection;

// A one-page artwork of 90 x 50 mm with 3 mm of bleed: a filled rectangle, written by hand so
// that the test needs no PDF library.
std::string Artwork() {
  const std::string content = "1 0 0 rg 0 0 272.13 158.74 re f";
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  const std::string objects[] = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 272.13 158.74] "
      "/TrimBox [8.5 8.5 263.63 150.24] /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream"};
  for (std::size_t i = 0; i < std::size(objects); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 5\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char line[24];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  return pdf + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) +
         "\n%%EOF\n";
}

std::string Body(const std::string& artwork) {
  return "--b\r\nContent-Disposition: form-data; name=\"request\"\r\n\r\n"
         R"({"sheet": {"length": 320, "width": 230}, "piece": {"length": 90, "width": 50},)"
         R"( "bleed": 3, "margins": {"gripper": 12}})"
         "\r\n--b\r\nContent-Disposition: form-data; name=\"artwork\"; filename=\"a.pdf\"\r\n\r\n" +
         artwork + "\r\n--b--\r\n";
}

std::string Head(std::size_t length) {
  return "POST /api/v1/impose HTTP/1.1\r\nHost: t\r\nContent-Type: multipart/form-data; "
         "boundary=b\r\nContent-Length: " +
         std::to_string(length) + "\r\n\r\n";
}

class ImposeHttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One page thread and one compute worker: anything an upload held would show at once.
    host_ = std::make_unique<HttpServer>(HttpServerOptions{
        .port = 0, .threads = 1, .compute = {.workers = 1}, .log_dir = logs_.log_dir()});
  }
  testing::PageHarness logs_;
  std::unique_ptr<HttpServer> host_;
};

TEST_F(ImposeHttpTest, ImposesAnUploadStreamedToAFile) {
  const std::string body = Body(Artwork());
  HttpConnection connection(host_->port());
  connection.Send(Head(body.size()) + body);
  const testing::HttpReply reply = connection.Receive();
  EXPECT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(reply.Header("content-type"), "application/pdf");
  EXPECT_TRUE(reply.body.starts_with("%PDF-"));
}

TEST_F(ImposeHttpTest, RefusesAnUploadOver50MiBOnItsDeclaredLength) {
  HttpConnection connection(host_->port());
  connection.Send(Head(51 * 1024 * 1024));
  EXPECT_EQ(connection.Receive().status, 413);
  // The other routes keep their own small limit.
  HttpConnection layout(host_->port());
  layout.Send("POST /api/v1/layout HTTP/1.1\r\nHost: t\r\nContent-Length: 100000\r\n\r\n");
  EXPECT_EQ(layout.Receive().status, 413);
}

TEST_F(ImposeHttpTest, ASlowUploadHoldsNoWorker) {
  const std::string body = Body(Artwork());
  HttpConnection slow(host_->port());
  slow.Send(Head(body.size()) + body.substr(0, body.size() / 2));
  // While half the body waits, the one compute worker and the one page thread serve others.
  HttpConnection other(host_->port());
  other.Send(testing::GetRequest("/plan.ppf?sheet=320x230&piece=90x50"));
  const testing::HttpReply cut_data = other.Receive();
  EXPECT_EQ(cut_data.status, 200);
  EXPECT_TRUE(cut_data.body.starts_with("%!PS-Adobe-3.0"));
  EXPECT_FALSE(slow.HasBytes());
  slow.Send(body.substr(body.size() / 2));
  EXPECT_EQ(slow.Receive().status, 200);
}

}  // namespace
}  // namespace sheetora
