// The base of every page class: host operations through the page context, the error trap, errmsg.
#pragma once

#include <chrono>
#include <exception>
#include <string>
#include <string_view>

#include "runtime/value.h"

namespace sheetora {

/// One page object serves one request on one thread, through the host objects that the host
/// installed on that thread (ObjectContextScope) while the page runs.
///
/// Every public page method is a function-try-block whose handler catches std::exception and
/// calls Trap(), so a run-time error is logged and the method returns normally. PageEnd is no
/// std::exception: no handler catches it on its way up, and it unwinds to the host in one pass.
class Page {
 public:
  virtual ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;

  /// The entry method: writes the whole page.
  virtual void AllTORVA() = 0;

  /// Shows msg in a browser alert, steps the frame back one page, ends the response and throws
  /// PageEnd. The message is escaped for the script string, so the alert shows it as text.
  Value errmsg(const Value& msg);

  /// The page's name as the error log spells it ("PinBan", "fuc", "index", ...).
  std::string_view page_name() const { return page_name_; }

 protected:
  explicit Page(std::string_view page_name);

  /// For the handler of a function-try-block: logs the error as
  /// "\Sheetora_Web\<page>, <method>: <description>" so that the method can return normally.
  void Trap(std::string_view method, const std::exception& error) const;

  // Host operations, through this thread's page context. Each fails with a run-time error when
  // the host object it needs is missing.
  void Write(const Value& v) const;
  void Write(std::string_view text) const;
  void Write(const char* text) const { Write(std::string_view(text)); }
  void Write(const std::string& text) const { Write(std::string_view(text)); }
  /// Writes a block of static HTML whose lines end in LF as lines ending in CR LF.
  void WriteHtml(std::string_view block) const;
  void EndResponse() const;
  /// The posted field as a string, or empty when it was not posted.
  Value FormItem(std::string_view name) const;
  Value CookieSubkey(std::string_view cookie, std::string_view subkey) const;
  void SetCookieSubkey(std::string_view cookie, std::string_view subkey, const Value& value) const;
  void SetCookieExpires(std::string_view cookie, std::chrono::sys_days date) const;
  void SetScriptTimeout(int seconds) const;

 private:
  std::string page_name_;
};

/// Text with every LF turned into CR LF: static HTML is written in the source with LF line ends.
std::string CrLf(std::string_view text);

/// Escapes text for a double- or single-quoted script string literal inside an HTML script
/// element: nothing in it can end the string, the line or the element. A character that the
/// page's GB2312 lacks becomes "\uXXXX", which the script shows as that character.
std::string EscapeScriptString(std::string_view text);

/// Escapes text for an HTML attribute value in double quotes.
std::string EscapeHtmlAttribute(std::string_view text);

}  // namespace sheetora
