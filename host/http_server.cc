#include "host/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/api_routes.h"
#include "host/app_routes.h"
#include "host/compute_pool.h"
#include "host/cookies.h"
#include "host/form_decoder.h"
#include "runtime/error_log.h"
#include "runtime/gb2312.h"

namespace sheetora {
namespace {

/// A request body streamed to a temporary file, removed with this object.
class BodyFile {
 public:
  BodyFile() {
    std::string name = (std::filesystem::temp_directory_path() / "sheetora-body-XXXXXX").string();
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) throw std::runtime_error("cannot create a file for a request body");
    path_ = name;
  }
  ~BodyFile() {
    ::close(fd_);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  BodyFile(const BodyFile&) = delete;
  BodyFile& operator=(const BodyFile&) = delete;

  void Append(std::string_view data) {
    while (!data.empty()) {
      const ssize_t written = ::write(fd_, data.data(), data.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) throw std::runtime_error("cannot write a request body to its file");
      data.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

/// A request handed to the compute pool, shared by its exchange and the pool's task: the
/// request's bytes, taken out of the connection, and the answer.
struct ComputeJob {
  const AppRoute* route = nullptr;
  MHD_Connection* connection = nullptr;
  std::string method, path, content_type, accept_language, body;
  std::vector<std::pair<std::string, std::string>> query;
  std::unique_ptr<BodyFile> body_file;
  // Orders the hand-over: the connection is set aside before the pool may resume it, and the
  // answer is written before the daemon's thread reads it.
  std::mutex mutex;
  enum class State { kWaiting, kAnswered, kFailed } state = State::kWaiting;
  AppAnswer answer;
};

/// One request's state between the daemon's calls of the access handler, from its request line
/// to its end.
struct Exchange {
  bool begun = false;     // the head is complete and the access handler has seen it
  bool bad_path = false;  // the path holds a control character, raw or escaped
  Request request;
  std::size_t body_bytes = 0;
  std::size_t body_limit = 0;
  // A route beside the classic pages takes the body as it came, in memory or in a file.
  const AppRoute* app = nullptr;
  bool form = false;  // a classic page's form post, decoded once the body is complete
  std::string raw_body;
  std::unique_ptr<BodyFile> body_file;
  std::shared_ptr<ComputeJob> job;  // set while the request is with the compute pool
};

/// Whether the path of a raw request target holds a control character, as it is or as an escape
/// ("%00"): the decoded path would end early or hide an extension from rules that go by it.
bool PathHasControl(std::string_view target) {
  const std::string_view path = target.substr(0, target.find('?'));
  const auto control = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (control(static_cast<unsigned char>(path[i]))) return true;
    if (path[i] != '%' || i + 2 >= path.size()) continue;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(path.data() + i + 1, path.data() + i + 3, value, 16);
    if (error == std::errc() && end == path.data() + i + 3 && control(value)) return true;
  }
  return false;
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

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

/// What the headers say about where the body ends.
struct Framing {
  std::vector<std::string_view> lengths;    // each Content-Length value
  std::vector<std::string_view> encodings;  // each Transfer-Encoding value as it came
  std::vector<std::string_view> codings;    // each transfer coding, in order
  bool blank_in_name = false;               // "Content-Length :" and the like
  unsigned hosts = 0;                       // Host headers
};

MHD_Result OnFramingHeader(void* cls, MHD_ValueKind, const char* name, const char* value) noexcept
    try {
  auto& framing = *static_cast<Framing*>(cls);
  const std::string_view key = name;
  const std::string_view text = value == nullptr ? std::string_view() : value;
  if (key.find_first_of(" \t") != std::string_view::npos) framing.blank_in_name = true;
  if (SameLetters(key, MHD_HTTP_HEADER_CONTENT_LENGTH)) framing.lengths.push_back(TrimBlanks(text));
  if (SameLetters(key, MHD_HTTP_HEADER_HOST)) ++framing.hosts;
  if (SameLetters(key, MHD_HTTP_HEADER_TRANSFER_ENCODING)) {
    framing.encodings.push_back(text);
    std::string_view rest = text;
    while (true) {
      const std::size_t comma = rest.find(',');
      framing.codings.push_back(TrimBlanks(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return MHD_YES;
} catch (...) {
  return MHD_NO;
}

/// The refusal a request earns by its head alone, or 0. Framing that two readers could take two
/// ways (behind a proxy, a second request smuggled inside the first) is refused, as are a missing
/// or repeated Host and a path with a control character.
unsigned RefusalOfHead(MHD_Connection* connection, std::string_view version,
                       const Exchange& exchange) {
  if (exchange.bad_path) return MHD_HTTP_BAD_REQUEST;
  if (version == MHD_HTTP_VERSION_1_1 &&
      MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_HOST) == nullptr) {
    return MHD_HTTP_BAD_REQUEST;
  }
  Framing framing;
  MHD_get_connection_values(connection, MHD_HEADER_KIND, &OnFramingHeader, &framing);
  if (framing.blank_in_name || framing.hosts > 1) return MHD_HTTP_BAD_REQUEST;
  for (const std::string_view length : framing.lengths) {
    if (length != framing.lengths.front()) return MHD_HTTP_BAD_REQUEST;
  }
  if (framing.codings.empty()) return 0;
  if (!framing.lengths.empty()) return MHD_HTTP_BAD_REQUEST;
  // Only "chunked", alone, is read, and only as the daemon reads it: the whole value, with no
  // blank around it (with one, the daemon would take the body as absent and wait). A chunked
  // coding anywhere else cannot be framed; other codings are not read.
  const auto chunked = [](std::string_view coding) { return SameLetters(coding, "chunked"); };
  if (framing.encodings.size() == 1 && chunked(framing.encodings.front())) return 0;
  const std::vector<std::string_view>& codings = framing.codings;
  const bool unframed = codings.size() == 1
                            ? chunked(codings.front())
                            : std::any_of(codings.begin(), codings.end() - 1, chunked);
  if (unframed || std::any_of(codings.begin(), codings.end(),
                              [](std::string_view coding) { return coding.empty(); })) {
    return MHD_HTTP_BAD_REQUEST;
  }
  return MHD_HTTP_NOT_IMPLEMENTED;
}

/// Only form posts of the classic kind carry fields; file-upload forms and other bodies do not.
bool IsFormBody(MHD_Connection* connection) {
  static constexpr std::string_view kForm = "application/x-www-form-urlencoded";
  const std::string_view type = Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE);
  if (type.size() < kForm.size() || !SameLetters(type.substr(0, kForm.size()), kForm)) {
    return false;
  }
  return type.size() == kForm.size() || type[kForm.size()] == ';' || type[kForm.size()] == ' ' ||
         type[kForm.size()] == '\t';
}

/// What each connection's socket may hold of answers not yet read by the client.
constexpr int kSendBufferBytes = 64 * 1024;

/// Whether the host is stopping, so that the connection is to close after its answer.
bool Stopping(MHD_Connection* connection);
/// Marks a connection answered before its body was read, for a lingering close.
void Linger(MHD_Connection* connection);

/// Adds the headers that every response carries, queues it and drops this reference to it.
MHD_Result Queue(MHD_Connection* connection, unsigned status, MHD_Response* response,
                 const char* content_type = "text/html; charset=gb2312") noexcept {
  if (response == nullptr) return MHD_NO;
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, content_type);
  // Keeps the site out of foreign frames, where browsers no longer let its frame guard act.
  MHD_add_response_header(response, "X-Frame-Options", "SAMEORIGIN");
  MHD_add_response_header(response, "Content-Security-Policy", "frame-ancestors 'self'");
  // A client or proxy that keeps its connection would go on sending requests there.
  if (Stopping(connection)) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued;
}

/// What a client that finds the compute pool full is asked to wait before it tries again.
constexpr const char* kRetryAfterSeconds = "2";

/// Answers a status of the host's own with a short fixed body; allocates nothing of ours, so it
/// is also the answer of last resort.
MHD_Result SendStatus(MHD_Connection* connection, unsigned status) noexcept {
  std::string_view body;
  switch (status) {
    case MHD_HTTP_BAD_REQUEST:
      body = "<html><head><title>400 Bad Request</title></head><body>Bad Request</body></html>\r\n";
      break;
    case MHD_HTTP_NOT_IMPLEMENTED:
      body =
          "<html><head><title>501 Not Implemented</title></head>"
          "<body>Not Implemented</body></html>\r\n";
      break;
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
    case MHD_HTTP_SERVICE_UNAVAILABLE:
      body =
          "<html><head><title>503 Service Unavailable</title></head>"
          "<body>Service Unavailable</body></html>\r\n";
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
  if (response != nullptr && status == MHD_HTTP_SERVICE_UNAVAILABLE) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_RETRY_AFTER, kRetryAfterSeconds);
  }
  // After a request the host could not frame, nothing on the connection can be trusted.
  if (response != nullptr &&
      (status == MHD_HTTP_BAD_REQUEST || status == MHD_HTTP_NOT_IMPLEMENTED)) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
  }
  return Queue(connection, status, response);
}

void FreeBody(void* body) { std::unique_ptr<std::string> owned(static_cast<std::string*>(body)); }

/// Sends a page's body, converted to GB2312 in its own buffer, with its cookies; the response
/// takes the converted bytes over instead of copying them.
MHD_Result SendPage(MHD_Connection* connection, PageOutcome outcome) {
  if (outcome.status != MHD_HTTP_OK) return SendStatus(connection, outcome.status);
  std::vector<std::string> cookies;
  for (const auto& [name, cookie] : outcome.response.cookies()) {
    cookies.push_back(FormatSetCookie(name, cookie));
  }
  auto body = std::make_unique<std::string>(outcome.response.TakeBody());
  ConvertToGb2312InPlace(*body);
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

/// Logs a fault of the host itself, which no page trapped, as a fault of `method`. Never fails.
void LogHostFault(const HttpServerOptions& options, std::string_view what,
                  std::string_view method = "request") noexcept try {
  Server server;
  server.log_dir = options.log_dir;
  const ObjectContextScope scope({.server = &server});
  WriteErrorLog(std::string("\\Sheetora_Web\\host, ").append(method).append(": ").append(what));
} catch (...) {
  // The line is lost, as any line that cannot be written.
}

/// Routes the daemon's own messages (refused connections and the like) to the error log, whose
/// repeat counter keeps a flood of them to a few lines, instead of standard error.
void OnDaemonMessage(void* cls, const char* format, va_list arguments) noexcept {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::string_view message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  LogHostFault(*static_cast<const HttpServerOptions*>(cls), message, "daemon");
}

/// The first call for a request, its head complete: refuses what it can refuse before any body
/// is read.
MHD_Result Begin(const HttpServerOptions& options, MHD_Connection* connection, std::string_view url,
                 std::string_view method, std::string_view version, Exchange& exchange) {
  exchange.begun = true;
  if (const unsigned refusal = RefusalOfHead(connection, version, exchange)) {
    Linger(connection);
    return SendStatus(connection, refusal);
  }
  // Routes under /api/ answer every method themselves, and their errors in their own format.
  exchange.app = FindAppRoute(options.routes, url);
  const bool api = exchange.app != nullptr && url.starts_with("/api/");
  if (!api && method != MHD_HTTP_METHOD_GET && method != MHD_HTTP_METHOD_POST &&
      method != MHD_HTTP_METHOD_HEAD) {
    Linger(connection);
    return SendStatus(connection, MHD_HTTP_METHOD_NOT_ALLOWED);
  }
  exchange.body_limit = exchange.app != nullptr && exchange.app->max_body_bytes != 0
                            ? exchange.app->max_body_bytes
                            : options.max_body_bytes;
  if (DeclaredBodyLength(connection) > exchange.body_limit) {
    Linger(connection);
    return api ? SendApp(connection, ApiTooLarge(exchange.body_limit))
               : SendStatus(connection, MHD_HTTP_CONTENT_TOO_LARGE);
  }
  exchange.form = exchange.app == nullptr && IsFormBody(connection);
  if (exchange.app != nullptr && exchange.app->body_to_file) {
    exchange.body_file = std::make_unique<BodyFile>();
  }
  return MHD_YES;
}

/// A piece of the body.
MHD_Result Receive(Exchange& exchange, const char* data, std::size_t* size) {
  exchange.body_bytes += *size;
  // Only a chunked body gets here past the limit. The daemon can answer only before a body
  // starts or after it ends, so the connection is closed instead of reading on.
  if (exchange.body_bytes > exchange.body_limit) return MHD_NO;
  if (exchange.body_file) {
    exchange.body_file->Append({data, *size});
  } else if (exchange.app != nullptr || exchange.form) {
    exchange.raw_body.append(data, *size);
  }
  *size = 0;
  return MHD_YES;
}

/// The client's address without its port: what the compute pool's per-client bound counts.
std::string ClientAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  if (info == nullptr || info->client_addr == nullptr) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const sockaddr* address = info->client_addr;
  if (address->sa_family == AF_INET) {
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                sizeof text);
  } else if (address->sa_family == AF_INET6) {
    ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                sizeof text);
  }
  return text;
}

/// Runs a compute job's handler on a pool worker and keeps its answer for the daemon's thread.
void RunJob(const HttpServerOptions& options, ComputeJob& job, std::stop_token stop) noexcept {
  ComputeJob::State state = ComputeJob::State::kFailed;
  AppAnswer answer;
  try {
    const AppRequest request{.method = job.method,
                             .path = job.path,
                             .query = std::move(job.query),
                             .content_type = job.content_type,
                             .accept_language = job.accept_language,
                             .body = job.body,
                             .body_file = job.body_file ? job.body_file->path() : "",
                             .stop = std::move(stop)};
    answer = job.route->handler(request);
    state = ComputeJob::State::kAnswered;
  } catch (const std::exception& e) {
    LogHostFault(options, e.what());
  } catch (...) {
    LogHostFault(options, "Unknown error");
  }
  const std::lock_guard lock(job.mutex);
  job.answer = std::move(answer);
  job.state = state;
}

/// Hands a compute route's request to the pool and sets the connection aside until a worker
/// has its answer; answers 503 at once when the pool is full.
MHD_Result HandToPool(const HttpServerOptions& options, ComputePool& pool,
                      MHD_Connection* connection, AppRequest request, Exchange& exchange) {
  auto job = std::make_shared<ComputeJob>();
  job->route = exchange.app;
  job->connection = connection;
  job->method = request.method;
  job->path = request.path;
  job->content_type = request.content_type;
  job->accept_language = request.accept_language;
  job->query = std::move(request.query);
  job->body = std::move(exchange.raw_body);
  job->body_file = std::move(exchange.body_file);
  const MHD_ConnectionInfo* socket =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
  ComputeTask task{
      .client = ClientAddress(connection),
      .socket = socket == nullptr ? -1 : socket->connect_fd,
      .work = [&options, job](std::stop_token stop) { RunJob(options, *job, std::move(stop)); },
      .finish =
          [job] {
            const std::lock_guard lock(job->mutex);
            MHD_resume_connection(job->connection);
          }};
  // Held until the connection is set aside, which the pool's finish waits for.
  const std::lock_guard lock(job->mutex);
  if (!pool.Submit(std::move(task))) {
    return exchange.app->path.starts_with("/api/")
               ? SendApp(connection, ApiBusy(kRetryAfterSeconds))
               : SendStatus(connection, MHD_HTTP_SERVICE_UNAVAILABLE);
  }
  exchange.job = std::move(job);
  MHD_suspend_connection(connection);
  return MHD_YES;
}

/// The call after the pool resumed the connection: sends the answer, or closes the connection
/// when the work was dropped for a client that hung up.
MHD_Result SendComputed(MHD_Connection* connection, ComputeJob& job) {
  const std::lock_guard lock(job.mutex);
  switch (job.state) {
    case ComputeJob::State::kAnswered:
      return SendApp(connection, std::move(job.answer));
    case ComputeJob::State::kFailed:
      return SendStatus(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
    case ComputeJob::State::kWaiting:
      break;
  }
  return MHD_NO;
}

/// The body is complete: run the page and answer. Answering only now keeps the connection
/// open for the next request.
MHD_Result Finish(const HttpServerOptions& options, ComputePool& pool, MHD_Connection* connection,
                  std::string_view url, std::string_view method, Exchange& exchange) {
  if (exchange.app != nullptr) {
    AppRequest request{.method = method,
                       .path = url,
                       .content_type = Header(connection, MHD_HTTP_HEADER_CONTENT_TYPE),
                       .accept_language = Header(connection, MHD_HTTP_HEADER_ACCEPT_LANGUAGE),
                       .body = exchange.raw_body};
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &OnQueryArgument, &request.query);
    if (exchange.app->compute) return HandToPool(options, pool, connection, request, exchange);
    if (exchange.body_file) request.body_file = exchange.body_file->path();
    return SendApp(connection, exchange.app->handler(request));
  }
  if (exchange.form) {
    for (const FormField& field : DecodeFormBody(exchange.raw_body)) {
      exchange.request.AddFormField(Gb18030ToUtf8(field.name), Gb18030ToUtf8(field.value));
    }
  }
  MHD_get_connection_values(connection, MHD_COOKIE_KIND, &OnCookie, &exchange.request);
  Server server;
  server.log_dir = options.log_dir;
  return SendPage(connection, options.handler(url, exchange.request, server));
}

}  // namespace

/// Sockets answered before their request's body was read. A client that sends its whole body
/// before reading (as many HTTP libraries do) meets a reset instead of the answer when a socket
/// closes with bytes unread; so each is shut for writing after the answer, read and discarded
/// for a bounded time, then closed (what web servers call a lingering close).
class LingeringCloser {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMaxSockets = 128;  // beyond it a socket closes at once
  static constexpr std::chrono::seconds kLinger{5};

  LingeringCloser()
      : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
        thread_([this](const std::stop_token& stop) { Run(stop); }) {}
  ~LingeringCloser() {
    thread_.request_stop();
    Wake();
    thread_.join();
    for (const Lingering& socket : sockets_) ::close(socket.fd);
    ::close(wake_fd_);
  }
  LingeringCloser(const LingeringCloser&) = delete;
  LingeringCloser& operator=(const LingeringCloser&) = delete;

  /// Takes over a duplicate of a socket whose answer has been queued.
  void Take(int socket) {
    const int fd = ::fcntl(socket, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return;
    ::shutdown(fd, SHUT_WR);
    {
      const std::lock_guard lock(mutex_);
      if (sockets_.size() < kMaxSockets) {
        sockets_.push_back({fd, Clock::now() + kLinger});
        Wake();
        return;
      }
    }
    ::close(fd);
  }

 private:
  struct Lingering {
    int fd;
    Clock::time_point until;
  };

  void Wake() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
  }

  void Run(const std::stop_token& stop) {
    std::vector<pollfd> fds;
    while (!stop.stop_requested()) {
      fds.assign(1, pollfd{.fd = wake_fd_, .events = POLLIN, .revents = 0});
      {
        const std::lock_guard lock(mutex_);
        for (const Lingering& socket : sockets_) {
          fds.push_back(pollfd{.fd = socket.fd, .events = POLLIN, .revents = 0});
        }
      }
      ::poll(fds.data(), fds.size(), fds.size() > 1 ? 100 : -1);
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = ::read(wake_fd_, &count, sizeof count);
      const std::lock_guard lock(mutex_);
      const Clock::time_point now = Clock::now();
      std::erase_if(sockets_, [now](const Lingering& socket) {
        static char discard[64 * 1024];
        ssize_t read = 0;
        while ((read = ::recv(socket.fd, discard, sizeof discard, MSG_DONTWAIT)) > 0) {
        }
        const bool done = read == 0 || (errno != EAGAIN && errno != EINTR) || now > socket.until;
        if (done) ::close(socket.fd);
        return done;
      });
    }
  }

  const int wake_fd_;
  std::mutex mutex_;
  std::vector<Lingering> sockets_;
  std::jthread thread_;  // last: it uses the members above
};

/// The open connections, for the watchdog that closes those whose request head is late and for
/// a stop that waits for the requests in flight. Each connection's entry is its socket context;
/// only opening, closing and the watchdog's rounds take the lock, a request's start and end
/// only set its entry's clock.
class ConnectionWatch {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ConnectionWatch(const HttpServerOptions& options)
      : options_(options),
        pool_(options.compute),
        watchdog_([this](const std::stop_token& stop) { Watch(stop); }) {}
  ConnectionWatch(const ConnectionWatch&) = delete;
  ConnectionWatch& operator=(const ConnectionWatch&) = delete;

  struct Entry {
    const std::atomic<bool>* stopping = nullptr;
    int fd = -1;
    // When the head awaited must be complete; 0 while a request is in flight.
    std::atomic<Clock::rep> head_due{0};
    bool linger = false;  // answered before its body was read: see LingeringCloser
  };

  const HttpServerOptions& options() const { return options_; }
  ComputePool& pool() { return pool_; }
  const ComputePool& pool() const { return pool_; }
  /// From now on every answer closes its connection.
  void BeginStop() { stopping_ = true; }

  static void OnNotify(void* cls, MHD_Connection* connection, void** socket_context,
                       MHD_ConnectionNotificationCode code) noexcept {
    static_cast<ConnectionWatch*>(cls)->Notify(connection, socket_context, code);
  }

  static Entry* EntryOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info == nullptr ? nullptr : static_cast<Entry*>(info->socket_context);
  }
  static void RequestStarted(MHD_Connection* connection) {
    if (Entry* entry = EntryOf(connection)) entry->head_due = 0;
  }
  /// A kept-alive connection may first stay idle for the idle time-out (which the daemon
  /// enforces), as proxies keep their connections; the next head's time counts after that.
  void RequestEnded(MHD_Connection* connection) const {
    if (Entry* entry = EntryOf(connection)) {
      entry->head_due = Due(options_.connection_timeout_seconds + options_.header_timeout_seconds);
    }
  }

  /// Requests whose head has arrived and whose answer has not yet been sent.
  std::size_t InFlight() {
    const std::lock_guard lock(mutex_);
    return std::count_if(entries_.begin(), entries_.end(),
                         [](const auto& entry) { return entry.second->head_due == 0; });
  }

 private:
  static Clock::rep Due(unsigned seconds) {
    return (Clock::now() + std::chrono::seconds(seconds)).time_since_epoch().count();
  }

  void Notify(MHD_Connection* connection, void** socket_context,
              MHD_ConnectionNotificationCode code) noexcept try {
    const std::lock_guard lock(mutex_);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto entry = std::make_unique<Entry>();
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      entry->fd = info == nullptr ? -1 : info->connect_fd;
      // The kernel would otherwise grow a slow reader's send buffer to megabytes: hundreds of
      // them reading a large page slowly would hold that much kernel memory each.
      const int send_buffer = kSendBufferBytes;
      ::setsockopt(entry->fd, SOL_SOCKET, SO_SNDBUF, &send_buffer, sizeof send_buffer);
      entry->stopping = &stopping_;
      entry->head_due = Due(options_.header_timeout_seconds);
      *socket_context = entry.get();
      entries_.emplace(entry.get(), std::move(entry));
    } else {
      // Called before the daemon closes the socket, so the watchdog never sees a reused one.
      auto* entry = static_cast<Entry*>(*socket_context);
      const MHD_ConnectionInfo* info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      if (entry != nullptr && entry->linger && info != nullptr) lingering_.Take(info->connect_fd);
      entries_.erase(entry);
      *socket_context = nullptr;
    }
  } catch (...) {
    // Without an entry the connection is only not watched.
    *socket_context = nullptr;
  }

  /// Every half second: shuts down the connections whose head is late, which makes the daemon
  /// close them as it would any connection the client closed, and writes the error log's due
  /// repeat counts.
  void Watch(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
      wake_.wait_for(lock, stop, std::chrono::milliseconds(500), [] { return false; });
      if (stop.stop_requested()) break;
      const Clock::rep now = Clock::now().time_since_epoch().count();
      for (const auto& [key, entry] : entries_) {
        const Clock::rep due = entry->head_due;
        // Bytes the daemon has not read yet are late by the host's fault, not the client's.
        int unread = 0;
        if (due != 0 && now > due && entry->fd >= 0 &&
            (::ioctl(entry->fd, FIONREAD, &unread) != 0 || unread == 0)) {
          ::shutdown(entry->fd, SHUT_RDWR);
          entry->fd = -1;
        }
      }
      lock.unlock();
      WriteErrorLogRepeats();
      lock.lock();
    }
  }

  const HttpServerOptions& options_;
  LingeringCloser lingering_;
  ComputePool pool_;
  std::atomic<bool> stopping_ = false;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::unordered_map<Entry*, std::unique_ptr<Entry>> entries_;
  std::jthread watchdog_;  // last: it uses the members above
};

namespace {

bool Stopping(MHD_Connection* connection) {
  const ConnectionWatch::Entry* entry = ConnectionWatch::EntryOf(connection);
  return entry != nullptr && *entry->stopping;
}

void Linger(MHD_Connection* connection) {
  if (ConnectionWatch::Entry* entry = ConnectionWatch::EntryOf(connection)) entry->linger = true;
}

/// Called when a request line has arrived, before its headers: the request's state starts here,
/// where the path is seen before the daemon decodes it.
void* OnRequestLine(void*, const char* target, MHD_Connection*) noexcept try {
  auto exchange = std::make_unique<Exchange>();
  exchange->bad_path = PathHasControl(target);
  return exchange.release();  // OnRequestDone takes it back
} catch (...) {
  return nullptr;
}

MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                     const char* version, const char* upload_data, std::size_t* upload_data_size,
                     void** request_slot) noexcept {
  auto& watch = *static_cast<ConnectionWatch*>(cls);
  const HttpServerOptions& options = watch.options();
  try {
    if (*request_slot == nullptr) throw std::bad_alloc();
    auto& exchange = *static_cast<Exchange*>(*request_slot);
    if (!exchange.begun) {
      ConnectionWatch::RequestStarted(connection);
      return Begin(options, connection, url, method, version, exchange);
    }
    if (*upload_data_size != 0) return Receive(exchange, upload_data, upload_data_size);
    if (exchange.job) return SendComputed(connection, *exchange.job);
    return Finish(options, watch.pool(), connection, url, method, exchange);
  } catch (const std::exception& e) {
    LogHostFault(options, e.what());
  } catch (...) {
    LogHostFault(options, "Unknown error");
  }
  return SendStatus(connection, MHD_HTTP_INTERNAL_SERVER_ERROR);
}

void OnRequestDone(void* cls, MHD_Connection* connection, void** request_slot,
                   MHD_RequestTerminationCode) noexcept {
  const std::unique_ptr<Exchange> done(static_cast<Exchange*>(*request_slot));
  *request_slot = nullptr;
  static_cast<const ConnectionWatch*>(cls)->RequestEnded(connection);
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
  // ITC: a stop first stops accepting (quiesces) and lets the requests in flight finish.
  // Suspending: a connection whose work is with the compute pool is set aside meanwhile.
  unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ERROR_LOG |
                   MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME;
  if (address.family == AF_INET6) flags |= MHD_USE_IPv6;
  // One thread is the daemon's own thread, no pool; the daemon warns when given a pool of one.
  const MHD_OptionItem pool[] = {
      {options_.threads > 1 ? MHD_OPTION_THREAD_POOL_SIZE : MHD_OPTION_END, options_.threads,
       nullptr},
      {MHD_OPTION_END, 0, nullptr}};
  connections_ = std::make_unique<ConnectionWatch>(options_);
  // clang-format off
  daemon_.reset(MHD_start_daemon(
      flags, options_.port, nullptr, nullptr, &OnRequest, connections_.get(),
      MHD_OPTION_EXTERNAL_LOGGER, &OnDaemonMessage, &options_,  // first, to take every message
      MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address.storage),
      MHD_OPTION_ARRAY, pool,
      MHD_OPTION_CONNECTION_LIMIT, options_.connection_limit,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, options_.per_ip_connection_limit,
      MHD_OPTION_CONNECTION_TIMEOUT, options_.connection_timeout_seconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, options_.connection_memory_limit,
      MHD_OPTION_NOTIFY_COMPLETED, &OnRequestDone, connections_.get(),
      MHD_OPTION_NOTIFY_CONNECTION, &ConnectionWatch::OnNotify, connections_.get(),
      MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, nullptr,
      MHD_OPTION_END));
  // clang-format on
  if (!daemon_) {
    throw std::runtime_error("cannot listen on " + options_.bind + " port " +
                             std::to_string(options_.port));
  }
  port_ = MHD_get_daemon_info(daemon_.get(), MHD_DAEMON_INFO_BIND_PORT)->port;
}

std::size_t HttpServer::ComputePending() const { return connections_->pool().Pending(); }

HttpServer::~HttpServer() {
  if (daemon_) {
    connections_->BeginStop();
    const MHD_socket listener = MHD_quiesce_daemon(daemon_.get());
    if (listener != MHD_INVALID_SOCKET) ::close(listener);
    // The searches end as their time limit would end them, and are answered.
    connections_->pool().StopAll();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options_.grace_seconds);
    while (connections_->InFlight() > 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The daemon cannot stop while a connection is set aside.
    connections_->pool().AbandonAll();
    daemon_.reset();
  }
  connections_.reset();
  WriteErrorLogRepeats(/*all=*/true);
}

}  // namespace sheetora
