#include "tests/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace sheetora::testing {

std::optional<std::string> HttpReply::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return value;
  }
  return std::nullopt;
}

std::vector<std::string> HttpReply::Headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [key, value] : headers) {
    if (key == name) values.push_back(value);
  }
  return values;
}

HttpConnection::HttpConnection(std::uint16_t port, const char* from, std::chrono::seconds patience)
    : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
  if (fd_ < 0) throw std::runtime_error("socket failed");
  const timeval timeout{.tv_sec = patience.count(), .tv_usec = 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  if (from != nullptr) {
    ::inet_pton(AF_INET, from, &address.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      throw std::runtime_error(std::string("cannot bind ") + from);
    }
  }
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    throw std::runtime_error("connect failed");
  }
}

HttpConnection::~HttpConnection() { ::close(fd_); }

bool HttpConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(sent);
  }
  return true;
}

bool HttpConnection::Fill() {
  char chunk[16384];
  const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
  if (got <= 0) return false;
  buffered_.append(chunk, got);
  return true;
}

HttpReply HttpConnection::Receive(bool head) {
  HttpReply reply;
  std::size_t header_end;
  while ((header_end = buffered_.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill()) return reply;
  }
  const std::string head_text = buffered_.substr(0, header_end);
  buffered_.erase(0, header_end + 4);

  std::size_t line_end = head_text.find("\r\n");
  const std::string status_line = head_text.substr(0, line_end);
  if (status_line.size() < 12) throw std::runtime_error("bad status line: " + status_line);
  reply.status = std::stoi(status_line.substr(9, 3));
  std::optional<std::size_t> length;
  while (line_end != std::string::npos) {
    const std::size_t start = line_end + 2;
    line_end = head_text.find("\r\n", start);
    const std::string line = head_text.substr(start, line_end - start);
    const std::size_t colon = line.find(':');
    std::string name = line.substr(0, colon);
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (name == "content-length") length = std::stoul(value);
    reply.headers.emplace_back(std::move(name), std::move(value));
  }
  if (head) return reply;
  if (length) {
    while (buffered_.size() < *length) {
      if (!Fill()) throw std::runtime_error("connection closed inside the body");
    }
    reply.body = buffered_.substr(0, *length);
    buffered_.erase(0, *length);
  } else {
    while (Fill()) {
    }
    reply.body = std::move(buffered_);
    buffered_.clear();
  }
  return reply;
}

bool HttpConnection::HasBytes(std::chrono::milliseconds wait) {
  pollfd readable{.fd = fd_, .events = POLLIN};
  return !buffered_.empty() || ::poll(&readable, 1, static_cast<int>(wait.count())) == 1;
}

bool HttpConnection::ClosedByServer(std::chrono::milliseconds wait) {
  pollfd readable{.fd = fd_, .events = POLLIN};
  if (::poll(&readable, 1, static_cast<int>(wait.count())) != 1) return false;
  char byte;
  const ssize_t got = ::recv(fd_, &byte, 1, 0);
  if (got > 0) buffered_.push_back(byte);
  return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

std::string GetRequest(std::string_view path, std::string_view headers) {
  std::string request = "GET ";
  request.append(path).append(" HTTP/1.1\r\nHost: 127.0.0.1\r\n").append(headers).append("\r\n");
  return request;
}

std::string PostRequest(std::string_view path, std::string_view body, std::string_view headers) {
  std::string request = "POST ";
  request.append(path)
      .append(" HTTP/1.1\r\nHost: 127.0.0.1\r\n")
      .append("Content-Type: application/x-www-form-urlencoded\r\n")
      .append("Content-Length: ")
      .append(std::to_string(body.size()))
      .append("\r\n")
      .append(headers)
      .append("\r\n")
      .append(body);
  return request;
}

}  // namespace sheetora::testing
