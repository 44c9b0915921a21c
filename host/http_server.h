// The page host's HTTP side: a libmicrohttpd daemon that turns requests into page runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "host/app_routes.h"
#include "host/compute_pool.h"
#include "host/page_runner.h"

struct MHD_Daemon;

namespace sheetora {

class ConnectionWatch;

/// Answers one request whose body has been read in full. Called on a worker thread, which serves
/// the request from start to end; a status other than 200 is sent with a short body of its own.
using RequestHandler =
    std::function<PageOutcome(std::string_view url_path, Request& request, Server& server)>;

struct HttpServerOptions {
  std::string bind = "127.0.0.1";  ///< numeric address or host name to listen on
  std::uint16_t port = 8080;       ///< 0 picks a free port: see HttpServer::port()
  unsigned threads = 1;            ///< worker threads, each with its own share of connections
  /// A reverse proxy brings every client from one address, so this is not a per-user bound.
  /// Well below half the total, so that clients holding connections from two or three addresses
  /// (trickling their heads) still leave room for everybody else.
  unsigned per_ip_connection_limit = 300;
  unsigned connection_limit = 1000;
  unsigned connection_timeout_seconds = 20;  ///< idle or stalled connections close after this
  /// A request head (request line and headers) must be complete within this many seconds of the
  /// connection opening, however steadily its bytes trickle in; after an answer on a kept-alive
  /// connection, within this many seconds past the idle time-out.
  unsigned header_timeout_seconds = 10;
  /// On stopping, requests whose head has arrived get this long to be answered.
  unsigned grace_seconds = 5;
  /// Larger bodies are refused: the classic pages' forms, and routes whose row sets no limit.
  std::size_t max_body_bytes = 64 * 1024;
  /// The threads and queue bounds of the routes' work beside the pages (searches, PDFs).
  ComputeLimits compute;
  /// Bounds the request line and headers. The daemon clears this much for every request, so a
  /// larger bound costs throughput.
  std::size_t connection_memory_limit = 16 * 1024;
  std::filesystem::path log_dir;  ///< folder of the error log; empty: the working folder
  RequestHandler handler = ServeSitePage;
  std::span<const AppRoute> routes = AppRoutes();  ///< the routes beside the classic pages
};

/// Serves HTTP on threads of its own from construction until destruction. Each response carries
/// the body converted to GB2312 once, the page's cookies and the framing headers; a body over
/// the limit is refused with 413 when its length is declared, and by closing the connection when
/// a chunked body runs past it; nothing a client sends brings the host down.
class HttpServer {
 public:
  /// Starts listening; throws std::runtime_error when it cannot (bad address, port in use).
  explicit HttpServer(HttpServerOptions options);
  /// Stops listening, lets the requests in flight be answered (for at most the grace period),
  /// then closes every connection and writes the error log's held-back repeat counts.
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  /// The port listened on (the free port picked when the options asked for port 0).
  std::uint16_t port() const { return port_; }
  /// Requests with the compute pool, waiting or running.
  std::size_t ComputePending() const;

 private:
  struct DaemonStop {
    void operator()(MHD_Daemon* daemon) const;
  };

  const HttpServerOptions options_;               // the daemon's callbacks read these
  std::unique_ptr<ConnectionWatch> connections_;  // likewise; outlives the daemon
  std::unique_ptr<MHD_Daemon, DaemonStop> daemon_;
  std::uint16_t port_ = 0;
};

}  // namespace sheetora
