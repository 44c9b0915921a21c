#include "runtime/gb2312.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace sheetora {
namespace {

struct Case {
  std::string input, expected;
};

TEST(Utf8ToGb2312, EncodesEachGb2312CharacterAsItsTwoBytes) {
  const Case cases[] = {
      {"", ""},
      {"<td>12</td>\r\n", "<td>12</td>\r\n"},
      {"中文", "\xD6\xD0\xCE\xC4"},
      {"\u3000\u3000if", "\xA1\xA1\xA1\xA1if"},  // the frame guard's ideographic spaces
      {"开版：", "\xBF\xAA\xB0\xE6\xA3\xBA"},
      {"é", "\xA8\xA6"},                    // the pinyin letters of row 8
      {"·——", "\xA1\xA4\xA1\xAA\xA1\xAA"},  // as browsers read these two codes
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Utf8ToGb2312(input), expected) << input;
}

TEST(Utf8ToGb2312, SendsCharactersOutsideGb2312AsCharacterReferences) {
  const Case cases[] = {
      {"€", "&#8364;"},
      {"a😀b", "a&#128512;b"},
      {"繁體", "\xB7\xB1&#39636;"},  // the traditional form lies outside GB2312
      {"\u00A0", "&#160;"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Utf8ToGb2312(input), expected) << input;
}

TEST(Utf8ToGb2312, ReplacesEachByteOfMalformedUtf8) {
  const auto bad = [](int bytes) {
    std::string references;
    for (int i = 0; i < bytes; ++i) references += "&#65533;";
    return references;
  };
  const Case cases[] = {
      {"\x80", bad(1)},
      {"\xFF", bad(1)},
      {"a\xE4\xB8", std::string("a").append(bad(2))},  // cut short at the end
      {"\xE4\xB8z", bad(2) + "z"},                     // cut short by ASCII
      {"\xC0\xAF", bad(2)},                            // an overlong "/"
      {"\xED\xA0\x80", bad(3)},                        // a surrogate
      {"\xF4\x90\x80\x80x", bad(4) + "x"},             // past U+10FFFF
      {"\xF0\x9F\x98\x80", "&#128512;"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Utf8ToGb2312(input), expected);
}

TEST(Utf8ToGb2312, FindsTheFirstNonAsciiCharacterAtEveryOffset) {
  for (std::size_t before = 0; before < 20; ++before) {
    for (std::size_t after = 0; after < 10; ++after) {
      const std::string a(before, 'a'), b(after, 'b');
      EXPECT_EQ(Utf8ToGb2312(a + "中" + b), a + "\xD6\xD0" + b) << before << ' ' << after;
    }
  }
}

// Text converts piece by piece: no character is lost or doubled where the fast paths hand over,
// and references that outgrow the input get room, also when converted in its own buffer.
TEST(Utf8ToGb2312, ConvertsTextAsTheSumOfItsCharacters) {
  const std::string pieces[] = {"a", "<td></td>\r\n", "中",  "：", "·", "😀", "€", "體",
                                "é", "\xFF",          "\x80"};
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    std::string text, expected;
    const int count = std::uniform_int_distribution<int>(0, 80)(random);
    for (int k = 0; k < count; ++k) {
      const std::string& piece = pieces[random() % std::size(pieces)];
      text += piece;
      expected += Utf8ToGb2312(piece);
    }
    ASSERT_EQ(Utf8ToGb2312(text), expected) << text;
    ConvertToGb2312InPlace(text);
    ASSERT_EQ(text, expected);
  }
}

TEST(Gb18030ToUtf8, DecodesWhatBrowsersPostForAGb2312Page) {
  const Case cases[] = {
      {"", ""},
      {"PaperL 1092", "PaperL 1092"},
      {"\xD6\xD0\xCE\xC4", "中文"},
      {"\x81\x40", "丂"},              // GBK beyond GB2312
      {"\x80", "€"},                   // GBK's one-byte euro sign
      {"\xA2\xE3", "€"},               // the euro sign of GB18030
      {"\x81\x30\x81\x30", "\u0080"},  // four-byte codes
      {"\x90\x30\x81\x30", "\U00010000"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Gb18030ToUtf8(input), expected) << input;
}

TEST(Gb18030ToUtf8, ReplacesEachByteThatStartsNoValidSequence) {
  const std::string bad = "\uFFFD";
  const Case cases[] = {
      {"\xFF", bad},
      {"a\x81", "a" + bad},               // a lead byte at the end
      {"\x81 z", bad + " z"},             // a lead byte before ASCII keeps the ASCII
      {"\x81\x30\x81", bad + "0" + bad},  // a four-byte code cut short
      {"\xD6\xD0\xFF\xCE\xC4", "中" + bad + "文"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(Gb18030ToUtf8(input), expected);
}

TEST(Gb18030ToUtf8, DecodesTextLongerThanOneConversionBuffer) {
  std::string bytes, expected;
  for (int i = 0; i < 1500; ++i) {
    bytes += "\xD6\xD0x";
    expected += "中x";
    if (i % 500 == 7) {
      bytes += '\xFF';
      expected += "\uFFFD";
    }
  }
  EXPECT_EQ(Gb18030ToUtf8(bytes), expected);
}

// A GB2312 character decoded as a browser's post and encoded again for a page gives its own two
// bytes back, and every such character does: the encoder knows the whole character set. Each
// decodes as the system's converter reads it beside a four-byte code, which only it reads.
TEST(Gb2312, EveryCharacterSurvivesDecodingAndEncoding) {
  int characters = 0;
  for (int lead = 0xA1; lead <= 0xF7; ++lead) {
    for (int trail = 0xA1; trail <= 0xFE; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string decoded = Gb18030ToUtf8(code);
      ASSERT_EQ(decoded + "\u0080", Gb18030ToUtf8(code + "\x81\x30\x81\x30"));
      const std::string back = Utf8ToGb2312(decoded);
      if (back == code) {
        ++characters;
      } else {
        // Codes GB2312 leaves unassigned decode to private-use characters.
        EXPECT_TRUE(back.starts_with("&#")) << std::hex << lead << trail;
      }
    }
  }
  EXPECT_EQ(characters, 7445);
}

}  // namespace
}  // namespace sheetora
