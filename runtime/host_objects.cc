#include "runtime/host_objects.h"

namespace sheetora {
namespace {
// The one piece of mutable state of the runtime: the host objects of each thread's request.
thread_local ObjectContext installed_objects;
}  // namespace

void Request::AddFormField(std::string name, std::string value) {
  auto [it, inserted] = form_.try_emplace(std::move(name), value);
  if (!inserted) it->second.append(", ").append(value);
}

void Request::AddCookieSubkey(std::string cookie, std::string subkey, std::string value) {
  cookies_[std::move(cookie)].insert_or_assign(std::move(subkey), std::move(value));
}

std::optional<std::string> Request::Form(std::string_view name) const {
  const auto it = form_.find(name);
  if (it == form_.end()) return std::nullopt;
  return it->second;
}

std::string Request::CookieSubkey(std::string_view cookie, std::string_view subkey) const {
  const auto c = cookies_.find(cookie);
  if (c == cookies_.end()) return {};
  const auto k = c->second.find(subkey);
  return k == c->second.end() ? std::string() : k->second;
}

ResponseCookie& Response::Cookie(std::string_view name) {
  const auto it = cookies_.find(name);
  return it != cookies_.end() ? it->second : cookies_[std::string(name)];
}

void Response::SetCookieSubkey(std::string_view cookie, std::string_view subkey,
                               std::string value) {
  auto& subkeys = Cookie(cookie).subkeys;
  for (auto& [key, old] : subkeys) {
    if (key == subkey) {
      old = std::move(value);
      return;
    }
  }
  subkeys.emplace_back(subkey, std::move(value));
}

void Response::SetCookieExpires(std::string_view cookie, std::chrono::sys_days date) {
  Cookie(cookie).expires = date;
}

ObjectContextScope::ObjectContextScope(const ObjectContext& objects)
    : previous_(installed_objects) {
  installed_objects = objects;
}

ObjectContextScope::~ObjectContextScope() { installed_objects = previous_; }

const ObjectContext& CurrentObjectContext() { return installed_objects; }

}  // namespace sheetora
