#include "tests/support/raw_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

namespace sheetora::testing {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(const char* address, std::uint16_t port) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(port);
  inet_pton(AF_INET, address, &in.sin_addr);
  return in;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) {
    return std::tolower(x) == std::tolower(y);
  });
}

}  // namespace

RawConnection::RawConnection(std::uint16_t port, const char* from) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  if (from != nullptr) {
    const sockaddr_in local = Loopback(from, 0);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      ::close(fd_);
      throw std::runtime_error(std::string("cannot bind ") + from);
    }
  }
  const sockaddr_in host = Loopback("127.0.0.1", port);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&host), sizeof host) != 0) {
    ::close(fd_);
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  }
}

RawConnection::~RawConnection() { ::close(fd_); }

bool RawConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::string RawConnection::ReadResponse(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string text = std::move(pending_);
  pending_.clear();
  for (;;) {
    if (const auto end = text.find("\r\n\r\n"); end != std::string::npos) {
      const std::string length = HeaderOf(std::string_view(text).substr(0, end + 2), "Content-Length");
      std::size_t body = 0;
      std::from_chars(length.data(), length.data() + length.size(), body);
      if (text.size() >= end + 4 + body) {
        pending_ = text.substr(end + 4 + body);
        text.resize(end + 4 + body);
        return text;
      }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
    char buffer[65536];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got <= 0) return {};
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

bool RawConnection::ClosedByHost(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[65536];
    if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) return true;
  }
}

int StatusOf(std::string_view response) {
  if (!response.starts_with("HTTP/1.") || response.size() < 12) return 0;
  int status = 0;
  std::from_chars(response.data() + 9, response.data() + 12, status);
  return status;
}

std::string_view BodyOf(std::string_view response) {
  const auto end = response.find("\r\n\r\n");
  return end == std::string_view::npos ? std::string_view() : response.substr(end + 4);
}

std::string HeaderOf(std::string_view response, std::string_view name) {
  const auto headers_end = response.find("\r\n\r\n");
  std::string_view headers = response.substr(0, headers_end);
  for (std::size_t at = headers.find("\r\n"); at != std::string_view::npos;) {
    const auto next = headers.find("\r\n", at + 2);
    const std::string_view line = headers.substr(at + 2, next == std::string_view::npos
                                                             ? std::string_view::npos
                                                             : next - at - 2);
    const auto colon = line.find(':');
    if (colon != std::string_view::npos && EqualsIgnoringCase(line.substr(0, colon), name)) {
      std::string_view value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
      return std::string(value);
    }
    at = next;
  }
  return {};
}

std::string BrowserRequest(std::string_view path, std::string_view form) {
  std::string request = form.empty() ? "GET " : "POST ";
  request.append(path).append(" HTTP/1.1\r\nHost: 127.0.0.1\r\n");
  if (!form.empty()) {
    request.append("Content-Type: application/x-www-form-urlencoded\r\nContent-Length: ")
        .append(std::to_string(form.size()))
        .append("\r\n");
  }
  request.append("\r\n").append(form);
  return request;
}

}  // namespace sheetora::testing
