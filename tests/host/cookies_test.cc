#include "host/cookies.h"

#include <gtest/gtest.h>

namespace sheetora {
namespace {

using std::chrono::December;
using std::chrono::sys_days;
using std::chrono::year;

TEST(RequestCookie, SplitsSubkeysOnAmpersandAndTheFirstEquals) {
  Request request;
  AddRequestCookie(request, "PinBan", "PaperL=1092&PaperW=787&PL=210&PW=140&X=a=b");
  EXPECT_EQ(request.CookieSubkey("PinBan", "PaperL"), "1092");
  EXPECT_EQ(request.CookieSubkey("PinBan", "PaperW"), "787");
  EXPECT_EQ(request.CookieSubkey("PinBan", "PL"), "210");
  EXPECT_EQ(request.CookieSubkey("PinBan", "PW"), "140");
  EXPECT_EQ(request.CookieSubkey("PinBan", "X"), "a=b");
  EXPECT_EQ(request.CookieSubkey("PinBan", "Q"), "");
  EXPECT_EQ(request.CookieSubkey("Other", "PL"), "");
}

TEST(RequestCookie, DecodesPercentEscapesBlanksAndGbBytes) {
  Request request;
  AddRequestCookie(request, "c", "a=%D6%D0+%CE%C4&b=1%3D2%26&c=50%&d=%zz&%D6%D0=k&e=%FF");
  EXPECT_EQ(request.CookieSubkey("c", "a"), "中 文");
  EXPECT_EQ(request.CookieSubkey("c", "b"), "1=2&");
  EXPECT_EQ(request.CookieSubkey("c", "c"), "50%");
  EXPECT_EQ(request.CookieSubkey("c", "d"), "%zz");
  EXPECT_EQ(request.CookieSubkey("c", "中"), "k");
  EXPECT_EQ(request.CookieSubkey("c", "e"), "\uFFFD");
}

TEST(RequestCookie, PiecesWithoutEqualsNameNoSubkey) {
  Request request;
  AddRequestCookie(request, "plain", "1092");
  AddRequestCookie(request, "mixed", "PL&PW=140&&=7");
  EXPECT_EQ(request.CookieSubkey("plain", "1092"), "");
  EXPECT_EQ(request.CookieSubkey("mixed", "PL"), "");
  EXPECT_EQ(request.CookieSubkey("mixed", "PW"), "140");
  EXPECT_EQ(request.CookieSubkey("mixed", ""), "7");
}

TEST(SetCookie, WritesSubkeysInOrderWithExpiryAndPath) {
  ResponseCookie cookie;
  cookie.subkeys = {{"PaperL", "1092"}, {"PaperW", "787"}, {"PL", "210"}, {"PW", "140"}};
  cookie.expires = sys_days(year(2027) / December / 2);
  EXPECT_EQ(FormatSetCookie("PinBan", cookie),
            "PinBan=PaperL=1092&PaperW=787&PL=210&PW=140; "
            "expires=Thu, 02 Dec 2027 00:00:00 GMT; path=/");
  cookie.expires.reset();
  EXPECT_EQ(FormatSetCookie("PinBan", cookie),
            "PinBan=PaperL=1092&PaperW=787&PL=210&PW=140; path=/");
}

TEST(SetCookie, EscapesWhatWouldBreakTheHeaderOrTheSubkeys) {
  const ResponseCookie cookie{.subkeys = {{"k v", "a;b,c&d=e+f\"%\r\n中1.5-_~"}}};
  EXPECT_EQ(FormatSetCookie("n", cookie),
            "n=k%20v=a%3Bb%2Cc%26d%3De%2Bf%22%25%0D%0A%D6%D01.5-_~; path=/");
}

// What a page sets comes back unchanged when the browser returns the cookie.
TEST(SetCookie, RoundTripsThroughTheCookieHeader) {
  const ResponseCookie cookie{.subkeys = {{"PaperL", "1092"}, {"名", "a b&c=d%+;中"}, {"E", ""}}};
  const std::string header = FormatSetCookie("PinBan", cookie);
  const std::string pair = header.substr(0, header.find(';'));
  const std::size_t eq = pair.find('=');
  Request request;
  AddRequestCookie(request, pair.substr(0, eq), pair.substr(eq + 1));
  for (const auto& [subkey, value] : cookie.subkeys) {
    EXPECT_EQ(request.CookieSubkey("PinBan", subkey), value) << subkey;
  }
}

TEST(HttpDate, NamesWeekdayAndMonth) {
  using namespace std::chrono;
  EXPECT_EQ(HttpDate(sys_days(year(1970) / January / 1)), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(HttpDate(sys_days(year(2028) / February / 29)), "Tue, 29 Feb 2028 00:00:00 GMT");
  EXPECT_EQ(HttpDate(sys_days(year(2000) / March / 1)), "Wed, 01 Mar 2000 00:00:00 GMT");
}

}  // namespace
}  // namespace sheetora
