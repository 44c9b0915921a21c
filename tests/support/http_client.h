// A small HTTP/1.1 client on a loopback socket, for talking to a real host in tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetora::testing {

struct HttpReply {
  int status = 0;  // 0: the connection closed (or was reset) before a status line arrived
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case, in order
  std::string body;

  /// The first header of that name (lower case).
  std::optional<std::string> Header(std::string_view name) const;
  /// Every header of that name, in order.
  std::vector<std::string> Headers(std::string_view name) const;
};

/// One connection to 127.0.0.1. Reads give up after a few seconds, so a test fails instead of
/// hanging when the server does not answer.
class HttpConnection {
 public:
  /// Connects from the loopback address `from` when one is given (e.g. "127.0.0.2"), so that
  /// the server sees another client address. Reads and writes give up after `patience`.
  explicit HttpConnection(std::uint16_t port, const char* from = nullptr,
                          std::chrono::seconds patience = std::chrono::seconds(5));
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  /// False when the server has closed the connection.
  bool Send(std::string_view bytes);
  /// Reads one response; the body by Content-Length, or up to the close when there is none. A
  /// response to HEAD has no body.
  HttpReply Receive(bool head = false);
  /// Whether any bytes (or the close) of an answer have arrived, waiting up to `wait`.
  bool HasBytes(std::chrono::milliseconds wait = {});
  /// Waits up to `wait` for the server to close the connection; false when it stays open.
  bool ClosedByServer(std::chrono::milliseconds wait);

 private:
  /// Reads more bytes into buffered_; false on close, reset or time-out.
  bool Fill();

  int fd_;
  std::string buffered_;
};

/// "GET <path> HTTP/1.1" with a Host header and the given header lines (each ending in CR LF).
std::string GetRequest(std::string_view path, std::string_view headers = "");
/// A form post: Content-Type application/x-www-form-urlencoded and Content-Length.
std::string PostRequest(std::string_view path, std::string_view body,
                        std::string_view headers = "");

}  // namespace sheetora::testing
