#include "runtime/page.h"

#include <algorithm>
#include <cstdio>

#include "runtime/error_log.h"
#include "runtime/errors.h"
#include "runtime/gb2312.h"
#include "runtime/host_objects.h"

namespace sheetora {
namespace {

Response& ContextResponse() {
  Response* response = CurrentObjectContext().response;
  if (response == nullptr) throw RuntimeError::ObjectRequired();
  return *response;
}

const Request& ContextRequest() {
  const Request* request = CurrentObjectContext().request;
  if (request == nullptr) throw RuntimeError::ObjectRequired();
  return *request;
}

// Hands `emit` the pieces of text with every LF turned into CR LF, without copying the text.
template <typename Emit>
void ForEachCrLfPiece(std::string_view text, Emit emit) {
  for (std::size_t lf; (lf = text.find('\n')) != std::string_view::npos;) {
    emit(text.substr(0, lf));
    emit("\r\n");
    text.remove_prefix(lf + 1);
  }
  emit(text);
}

}  // namespace

Page::Page(std::string_view page_name) : page_name_(page_name) {}

Page::~Page() = default;

void Page::Trap(std::string_view method, const std::exception& error) const {
  std::string line = "\\Sheetora_Web\\";
  line.append(page_name_).append(", ").append(method).append(": ").append(error.what());
  WriteErrorLog(line);
}

Value Page::errmsg(const Value& msg) try {
  static constexpr std::string_view kTemplate =
      "<script language=\"javascript\">\r\nalert(\"错误\")\r\nwindow.history.back(-1)\r\n"
      "</script>";
  static constexpr std::string_view kPlaceholder = "错误";
  {
    // The template holds the placeholder once; the inserted text is never scanned again.
    std::string script(kTemplate);
    script.replace(script.find(kPlaceholder), kPlaceholder.size(), EscapeScriptString(msg.Text()));
    Write(script);
  }
  EndResponse();
  // Thrown with nothing left to destroy in this frame, so the page end passes it untouched.
  throw PageEnd{};
} catch (const std::exception& e) {
  Trap("errmsg", e);
  return {};
}

void Page::Write(const Value& v) const { ContextResponse().Write(v.Text()); }

void Page::Write(std::string_view text) const { ContextResponse().Write(text); }

void Page::WriteHtml(std::string_view block) const {
  Response& response = ContextResponse();
  ForEachCrLfPiece(block, [&](std::string_view piece) { response.Write(piece); });
}

void Page::EndResponse() const { ContextResponse().End(); }

Value Page::FormItem(std::string_view name) const {
  auto field = ContextRequest().Form(name);
  return field ? Value(std::move(*field)) : Value();
}

Value Page::CookieSubkey(std::string_view cookie, std::string_view subkey) const {
  return Value(ContextRequest().CookieSubkey(cookie, subkey));
}

void Page::SetCookieSubkey(std::string_view cookie, std::string_view subkey,
                           const Value& value) const {
  ContextResponse().SetCookieSubkey(cookie, subkey, value.Text());
}

void Page::SetCookieExpires(std::string_view cookie, std::chrono::sys_days date) const {
  ContextResponse().SetCookieExpires(cookie, date);
}

void Page::SetScriptTimeout(int seconds) const {
  Server* server = CurrentObjectContext().server;
  if (server == nullptr) throw RuntimeError::ObjectRequired();
  server->script_timeout = seconds;
}

std::string CrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  ForEachCrLfPiece(text, [&](std::string_view piece) { out.append(piece); });
  return out;
}

std::string EscapeScriptString(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '<':
        out += "\\x3C";
        break;
      case '>':
        out += "\\x3E";
        break;
      case '&':
        out += "\\x26";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(c));
          out += buf;
        } else {
          out.push_back(c);
        }
    }
  }
  // Last, so that none of its escapes is escaped again.
  return EscapeOutsideGb2312ForScript(out);
}

std::string EscapeHtmlAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace sheetora
