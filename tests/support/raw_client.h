// A plain TCP client for tests that talk to a host on loopback, misbehaving on purpose.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace sheetora::testing {

/// One connection to 127.0.0.1:port, closed with the object. Sends exactly the bytes it is given.
class RawConnection {
 public:
  /// Connects, from the loopback address `from` when one is given (e.g. "127.0.0.2"). Throws
  /// std::runtime_error when the connection cannot be made.
  explicit RawConnection(std::uint16_t port, const char* from = nullptr);
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  /// False when the host has closed or reset the connection.
  bool Send(std::string_view bytes);
  /// One response: the status line and headers, and the body as long as Content-Length says.
  /// Empty when the host closed the connection or sent nothing within the timeout.
  std::string ReadResponse(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  /// True when the host has closed the connection (reading gives end of file or a reset)
  /// within the timeout; bytes that arrive first are skipped.
  bool ClosedByHost(std::chrono::milliseconds timeout = std::chrono::seconds(5));

 private:
  int fd_ = -1;
  std::string pending_;  // bytes read past the last response
};

/// The status code of a response, 0 when the text holds none.
int StatusOf(std::string_view response);
/// The body of a response: what follows the blank line after the headers.
std::string_view BodyOf(std::string_view response);
/// The value of a header of a response (name compared without case), empty when absent.
std::string HeaderOf(std::string_view response, std::string_view name);

/// A request from a browser's form: a GET when `form` is empty, else a POST of that
/// x-www-form-urlencoded body.
std::string BrowserRequest(std::string_view path, std::string_view form = {});

}  // namespace sheetora::testing
