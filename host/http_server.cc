#include "host/http_server.h"

#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "host/api_routes.h"
#include "host/app_routes.h"
#include "host/cookies.h"
#include "host/gb2312.h"
#include "runtime/error_log.h"

namespace sheetora {
namespace {

// Enough for any key; a longer value reaches the form in several pieces.
constexpr std::size_t kFormParserBufferBytes = 2048;

struct PostProcessorDestroy {
  void operator()(MHD_PostProcessor* form) const { MHD_destroy_post_processor(form); }
};

/// One request's state between the daemon's calls of the access handler.
struct Exchange {
  Request request;
  std::size_t body_bytes = 0;
  // A route beside the classic pages takes the body as it came.
  const AppRoute* app = nullptr;
  std::string raw_body;
  // The form field being read: its value may arrive in several pieces.
  std::string field_name;
  std::string field_value;
  bool field_open = false;
  // Declared last: when an unfinished request is dropped, the parser hands its last piece to
  // members that still exist.
  std::unique_ptr<MHD_PostProcessor, PostProcessorDestroy> form;

  void CloseField() {
    if (!field_open) return;
    field_open = false;
    request.AddFormField(Gb18030ToUtf8(field_name), Gb18030ToUtf8(field_value));
  }

  /// Parses what is left of the form body and adds its last field.
  void FinishForm() {
    form.reset();
    CloseField();
  }
};

/// Receives the percent-decoded pieces of the form body; a piece at offset 0 starts a field.
MHD_Result OnFormData(void* cls, MHD_ValueKind, const char* key, const char*, const char*,
                      const char*, const char* data, std::uint64_t offset,
                      std::size_t size) noexcept try {
  auto& exchange = *static_cast<Exchange*>(cls);
  if (offset == 0) {
    exchange.CloseField();
    exchange.field_name = key;
    exchange.field_value.clear();
    exchange.field_open = true;
  }
  if (size != 0) exchange.field_value.append(data, size);
  return MHD_YES;
} catch (...) {
  return MHD_NO;
}

MHD_Result OnCookie(void* cls, MHD_ValueKind, const char* name, const char* value) noexcept try {
  AddRequestCookie(*static_cast<Request*>(cls), name, value == nullptr ? "" : value);
  return MHD_YES;
} catch (...) {
  return MHD_NO;
}

std::string_view Header(MHD_Connection* connection, const char* name) {
  const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
  return value == nullptr ? std::string_view() : value;
}

/// The body length the client declared; 0 when it declared none (a chunked body is counted as
/// it arrives).
std::uint64_t DeclaredBodyLength(MHD_Connection* connection) {
  const std::string_view text = Header(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
  std::uint64_t length = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  return error == std::errc::result_out_of_range ? UINT64_MAX : length;
}

/// Only form posts of the classic kind carry fields; file-upload forms and other bodies do not.
bool IsFormBody(MHD_Connection* connection) {
  static constexpr std::string_view kForm = "application/x-www-form-urlencoded";
  const std::string_view type = Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
  if (type.size() < kForm.size()) return false;
  const bool same = std::equal(kForm.begin(), kForm.end(), type.begin(), [](char a, char b) {
    return a == std::tolower(static_cast<unsigned char>(b));
  });
  return same && (type.size() == kForm.size() || type[kForm.size()] == ';' ||
                  type[kForm.size()] == ' ' || type[kForm.size()] == '\t');
}

/// Adds the headers that every response carries, queues it and drops this reference to it.
MHD_Result Queue(MHD_Connection* connection, unsigned status, MHD_Response* response,
                 const char* content_type = "text/html; charset=gb2312") noexcept {
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, content_type);
  // Keeps the site out of foreign frames, where browsers no longer let its frame guard act.
  MHD_add_response_header(response, "X-Frame-Options", "SAMEORIGIN");
  MHD_add_response_header(response, "Content-Security-Policy", "frame-ancestors 'self'");
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued;
}

/// Answers a status of the host's own with a short fixed body; allocates nothing of ours, so it
/// is also the answer of last resort.
MHD_Result SendStatus(MHD_Connection* connection, unsigned status) noexcept {
  std::string_view body;
  switch (status) {
    case MHD_HTTP_NOT_FOUND:
      body = "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\r\n";
      break;
    case MHD_HTTP_METHOD_NOT_ALLOWED:
      body =
          "<html><head><title>405 Method Not Allowed</title></head>"
          "<body>Method Not Allowed</body></html>\r\n";
      break;
    case MHD_HTTP_CONTENT_TOO_LARGE:
      body =
          "<html><head><title>413 Content Too Large</title></head>"
          "<body>Content Too Large</body></html>\r\n";
      break;
    default:
      status = MHD_HTTP_INTERNAL_SERVER_ERROR;
      body =
          "<html><head><title>500 Internal Server Error</title></head>"
          "<body>Internal Server Error</body></html>\r\n";
  }
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_PERSISTENT);
  if (response != nullptr && status == MHD_HTTP_METHOD_NOT_ALLOWED) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET, HEAD, POST");
  }
  return Queue(connection, status, response);
}

void FreeBody(void* body) { std::unique_ptr<std::string> owned(static_cast<std::string*>(body)); }

/// Sends a page's body, converted to GB2312, with its cookies; the response takes the converted
/// bytes over instead of copying them.
MHD_Result SendPage(MHD_Connection* connection, const PageOutcome& outcome) {
  if (outcome.status != MHD_HTTP_OK) return SendStatus(connection, outcome.status);
  std::vector<std::string> cookies;
  for (const auto& [name, cookie] : outcome.response.cookies()) {
    cookies.push_back(FormatSetCookie(name, cookie));
  }
  auto body = std::make_unique<std::string>(Utf8ToGb2312(outcome.response.body()));
  MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
      body->size(), body->data(), &FreeBody, body.get());
  if (response == nullptr) return MHD_NO;
  body.release();
  for (const std::string& cookie : cookies) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_SET_COOKIE, cookie.c_str());
  }
  return Queue(connection, MHD_HTTP_OK, response);
}

MHD_Result OnQueryArgument(void* cls, MHD_ValueKind, const char* name, const char* value) noexcept
    try {
  static_cast<std::vector<std::pair<std::string, std::string>>*>(cls)->emplace_back(
      name, value == nullptr ? "" : value);
  return MHD_YES;
} catch (...) {
  return MHD_NO;
}

/// Sends the answer of a route beside the classic pages, its bytes as they are.
MHD_Result SendApp(MHD_Connection* connection, AppAnswer answer) {
  auto body = std::make_unique<std::string>(std::move(answer.body));
  MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
      body->size(), body->data(), &FreeBody, body.get());
  if (response == nullptr) return MHD_NO;
  body.release();
  for (const auto& [name, value] : answer.headers) {
    MHD_add_response_header(response, name.c_str(), value.c_str());
  }
  return Queue(connection, answer.status, response, answer.content_type.c_str());
}

/// Logs a fault of the host itself, which no page trapped. Never fails.
void LogHostFault(const HttpServerOptions& options, std::string_view what) noexcept try {
  Server server;
  server.log_dir = options.log_dir;
  const ObjectContextScope scope({.server = &server});
  WriteErrorLog(std::string("\\Sheetora_Web\\host, request: ").append(what));
} catch (...) {
  // The line is lost, as any line that cannot be written.
}

/// The first call for a request: refuses what it can refuse before any body is read.
MHD_Result Begin(const HttpServerOptions& options, MHD_Connection* connection, std::string_view url,
                 std::string_view method, void** request_slot) {
  // Routes under /api/ answer every method themselves, and their errors in their own format.
  const AppRoute* app = FindAppRoute(url);
  const bool api = app != nullptr && url.starts_with("/api/");
  if (!api && method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_POST &&
      method != MHD_HTTP_METHOD_HEAD) {
    return SendStatus(connection, MHD_HTTP_METHOD_NOT_ALLOWED);
  }
  if (DeclaredBodyLength(connection) > options.max_body_bytes) {
    return api ? SendApp(connection, ApiTooLarge())
               : SendStatus(connection, MHD_HTTP_CONTENT_TOO_LARGE);
  }
  auto exchange = std::make_unique<Exchange>();
  exchange->app = app;
  if (exchange->app == nullptr && IsFormBody(connection)) {
    exchange->form.reset(
        MHD_create_post_processor(connection, kFormParserBufferBytes, &OnFormData, exchange.get()));
  }
  *request_slot = exchange.release();  // OnRequestDone takes it back
  return MHD_YES;
}

/// A piece of the body.
MHD_Result Receive(const HttpServerOptions& options, Exchange& exchange, const char* data,
                   std::size_t* size) {
  exchange.body_bytes += *size;
  // Only a chunked body gets here past the limit. The daemon can answer only before a body
  // starts or after it ends, so the connection is closed instead of reading on.
  if (exchange.body_bytes > options.max_body_bytes) return MHD_NO;
  // A malformed body leaves the fields read so far.
  if (exchange.form) MHD_post_process(exchange.form.get(), data, *size);
  if (exchange.app != nullptr) exchange.raw_body.append(data, *size);
  *size = 0;
  return MHD_YES;
}

/// The body is complete: run the page and answer. Answering only now keeps the connection
/// open for the next request.
MHD_Result Finish(const HttpServerOptions& options, MHD_Connection* connection,
                  std::string_view url, std::string_view method, Exchange& exchange) {
  if (exchange.app != nullptr) {
    AppRequest request{.method = method,
                       .path = url,
                       .content_type = Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE),
                       .body = exchange.raw_body};
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &OnQueryArgument, &request.query);
    return SendApp(connection, exchange.app->handler(request));
  }
  exchange.FinishForm();
  MHD_get_connection_values(connection, MHD_COOKIE_KIND, &OnCookie, &exchange.request);
  Server server;
  server.log_dir = options.log_dir;
  return SendPage(connection, options.handler(url, exchange.request, server));
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                     const char*, const char* upload_data, std::size_t* upload_data_size,
                     void** request_slot) noexcept {
  const auto& options = *static_cast<const HttpServerOptions*>(cls);
  try {
    if (*request_slot == nullptr) return Begin(options, connection, url, method, request_slot);
    auto& exchange = *static_cast<Exchange*>(*request_slot);
    if (*upload_data_size != 0) return Receive(options, exchange, upload_data, upload_data_size);
    return Finish(options, connection, url, method, exchange);
  } catch (const std::exception& e) {
    LogHostFault(options, e.what());
  } catch (...) {
    LogHostFault(options, "Unknown error");
  }
  return SendStatus(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
}

void OnRequestDone(void*, MHD_Connection*, void** request_slot,
                   MHD_RequestTerminationCode) noexcept {
  const std::unique_ptr<Exchange> done(static_cast<Exchange*>(*request_slot));
  *request_slot = nullptr;
}

struct ListenAddress {
  sockaddr_storage storage{};
  int family = AF_UNSPEC;
};

ListenAddress ResolveBind(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    throw std::runtime_error("cannot resolve the address " + host);
  }
  ListenAddress address;
  address.family = found->ai_family;
  std::memcpy(&address.storage, found->ai_addr,
              std::min<std::size_t>(found->ai_addrlen, sizeof address.storage));
  freeaddrinfo(found);
  if (address.family == AF_INET) {
    reinterpret_cast<sockaddr_in&>(address.storage).sin_port = htons(port);
  } else if (address.family == AF_INET6) {
    reinterpret_cast<sockaddr_in6&>(address.storage).sin6_port = htons(port);
  } else {
    throw std::runtime_error("not an IP address: " + host);
  }
  return address;
}

}  // namespace

void HttpServer::DaemonStop::operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }

HttpServer::HttpServer(HttpServerOptions options) : options_(std::move(options)) {
  ListenAddress address = ResolveBind(options_.bind, options_.port);
  // poll, not epoll: this library's epoll loop stalls a worker until the connection time-out
  // whenever exactly a full batch of 128 of its connections (or a multiple) is ready at once,
  // which a load test or any client with 128 connections reaches easily.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ERROR_LOG;
  if (address.family == AF_INET6) flags |= MHD_USE_IPv6;
  // One thread is the daemon's own thread, no pool; the daemon warns when given a pool of one.
  const MHD_OptionItem pool[] = {
      {options_.threads > 1 ? MHD_OPTION_THREAD_POOL_SIZE : MHD_OPTION_END, options_.threads,
       nullptr},
      {MHD_OPTION_END, 0, nullptr}};
  // clang-format off
  daemon_.reset(MHD_start_daemon(
      flags, options_.port, nullptr, nullptr, &OnRequest, const_cast<HttpServerOptions*>(&options_),
      MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address.storage),
      MHD_OPTION_ARRAY, pool,
      MHD_OPTION_CONNECTION_LIMIT, options_.connection_limit,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, options_.per_ip_connection_limit,
      MHD_OPTION_CONNECTION_TIMEOUT, options_.connection_timeout_seconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, options_.connection_memory_limit,
      MHD_OPTION_NOTIFY_COMPLETED, &OnRequestDone, nullptr,
      MHD_OPTION_END));
  // clang-format on
  if (!daemon_) {
    throw std::runtime_error("cannot listen on " + options_.bind + " port " +
                             std::to_string(options_.port));
  }
  port_ = MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_BIND_PORT)->port;
}

HttpServer::~HttpServer() = default;

}  // namespace sheetora
