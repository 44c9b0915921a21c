// The host objects of one request, as the pages use them: request, response and server.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheetora {

/// What the client sent: form fields (already decoded to UTF-8) and cookies with their subkeys.
class Request {
 public:
  /// A field posted twice keeps both values, joined by ", ".
  void AddFormField(std::string name, std::string value);
  void AddCookieSubkey(std::string cookie, std::string subkey, std::string value);

  /// The posted field's text, or nothing when the field was not posted.
  std::optional<std::string> Form(std::string_view name) const;
  /// The subkey's text; empty when the cookie or the subkey is absent.
  std::string CookieSubkey(std::string_view cookie, std::string_view subkey) const;

 private:
  std::map<std::string, std::string, std::less<>> form_;
  std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> cookies_;
};

/// A cookie made of subkeys, sent as name=k1=v1&k2=v2 with an expiry date.
struct ResponseCookie {
  std::vector<std::pair<std::string, std::string>> subkeys;  // in the order first set
  std::optional<std::chrono::sys_days> expires;
};

/// The response body (UTF-8 text) and cookies. After End() further writes are dropped.
class Response {
 public:
  void Write(std::string_view text) {
    if (ended_) return;
    // Most pages are a few KiB: one allocation instead of a dozen regrowths.
    if (body_.empty()) body_.reserve(kInitialBodyCapacity);
    body_.append(text);
  }
  void End() { ended_ = true; }
  bool ended() const { return ended_; }
  const std::string& body() const { return body_; }
  /// Hands the body over, leaving this response's empty.
  std::string TakeBody() { return std::move(body_); }

  void SetCookieSubkey(std::string_view cookie, std::string_view subkey, std::string value);
  void SetCookieExpires(std::string_view cookie, std::chrono::sys_days date);
  const std::map<std::string, ResponseCookie, std::less<>>& cookies() const { return cookies_; }

 private:
  static constexpr std::size_t kInitialBodyCapacity = 8192;
  ResponseCookie& Cookie(std::string_view name);

  std::string body_;
  bool ended_ = false;
  std::map<std::string, ResponseCookie, std::less<>> cookies_;
};

/// Per-host settings that pages can see or change for their own request.
struct Server {
  /// Seconds the page may run; pages raise it before long searches.
  int script_timeout = 90;
  /// Folder of the error log, as the host resolved it; empty means the working folder.
  std::filesystem::path log_dir;
};

/// The page context: the host's objects for the request served on this thread, kept once per
/// thread. The host owns them; the context only refers to them.
struct ObjectContext {
  Request* request = nullptr;
  Response* response = nullptr;
  Server* server = nullptr;
};

/// Installs an object context for the calling thread for its lifetime and restores the previous
/// one after; page objects run meanwhile read and write these objects.
class ObjectContextScope {
 public:
  explicit ObjectContextScope(const ObjectContext& objects);
  ~ObjectContextScope();
  ObjectContextScope(const ObjectContextScope&) = delete;
  ObjectContextScope& operator=(const ObjectContextScope&) = delete;

 private:
  ObjectContext previous_;
};

/// The object context installed on this thread; all fields null when none is.
const ObjectContext& CurrentObjectContext();

}  // namespace sheetora
