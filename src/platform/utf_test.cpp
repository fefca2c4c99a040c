#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalen {
namespace {

// The code units a name decodes to, written as numbers: lone surrogates
// cannot be spelled in a u"" literal without running into the next digit.
std::u16string Units(std::initializer_list<char16_t> units) { return std::u16string(units); }

TEST(Utf8Test, EachMaximalSubpartBecomesOneReplacementCharacter) {
  EXPECT_EQ(Utf8ToUtf16("a\xC3\xB1\xE2\x82\xAC\xF0\x9F\x98\x80"), u"añ€\U0001F600");
  // Truncated 4-byte sequence, E0 80 (overlong), ED A0 80 (a surrogate),
  // F4 90 (past U+10FFFF), C0 AF (overlong), a stray continuation byte.
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98" "A\xE0\x80" "B\xED\xA0\x80" "C\xF4\x90" "D\xC0\xAF\x80"),
            u"\uFFFDA\uFFFD\uFFFDB\uFFFD\uFFFD\uFFFDC\uFFFD\uFFFDD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(Units({u'a', 0xD800, u'b', 0xDC00, 0xD83D, 0xDE00})),
            "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xF0\x9F\x98\x80");
  // Runs of ASCII longer than eight units around every length of sequence,
  // and a pair cut by the end of the text.
  EXPECT_EQ(Utf16ToUtf8(u"INSERT INTO t VALUES (1);\u00F1 0123456789\u20AC\U0001F600abcdefghi" +
                        Units({0xD83D})),
            "INSERT INTO t VALUES (1);\xC3\xB1 0123456789\xE2\x82\xAC\xF0\x9F\x98\x80"
            "abcdefghi\xEF\xBF\xBD");
  // In pieces, a sequence cut by the end waits for the next bytes, unless
  // the input is final.
  char16_t out[8];
  size_t read;
  EXPECT_EQ(DecodeUtf8("x\xF0\x9F\x98", false, out, &read), 1u);
  EXPECT_EQ(read, 1u);
  EXPECT_EQ(DecodeUtf8("x\xF0\x9F" "A", false, out, &read), 3u);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(DecodeUtf8("x\xF0\x9F\x98", true, out, &read), 2u);
  EXPECT_EQ(std::u16string(out, 2), u"x\uFFFD");
}

TEST(NativeNameTest, EachInvalidByteBecomesALoneSurrogateAndGoesBack) {
  const std::string bytes = "A\xFF" "B\x80\xC0\xAF\xE2\x82" "C\xC3";  // stray, overlong, truncated
  const std::u16string name = NativeToUtf16(bytes);
  EXPECT_EQ(name, Units({u'A', 0xDCFF, u'B', 0xDC80, 0xDCC0, 0xDCAF, 0xDCE2, 0xDC82, u'C', 0xDCC3}));
  EXPECT_EQ(Utf16ToNative(name), bytes);
  EXPECT_EQ(DisplayName(name), u"A\uFFFDB\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDC\uFFFD");
}

TEST(NativeNameTest, WellFormedTextIsDecodedAsUtf8) {
  const std::string bytes = "NCM_a\xC3\xB1o \xE2\x82\xAC \xF0\x9F\x98\x80.sql";  // 2, 3 and 4 bytes
  const std::u16string name = NativeToUtf16(bytes);
  EXPECT_EQ(name, u"NCM_año € \U0001F600.sql");
  EXPECT_EQ(name, Utf8ToUtf16(bytes));
  EXPECT_EQ(Utf16ToNative(name), bytes);
  EXPECT_EQ(DisplayName(name), name);
}

TEST(NativeNameTest, EncodedSurrogatesAndOutOfRangeSequencesStayEscaped) {
  // U+DC80 written in UTF-8 bytes must not read back as the escape of 0x80.
  EXPECT_EQ(NativeToUtf16("\xED\xB2\x80"), Units({0xDCED, 0xDCB2, 0xDC80}));
  EXPECT_EQ(NativeToUtf16("\xF4\x90\x80\x80"), Units({0xDCF4, 0xDC90, 0xDC80, 0xDC80}));
  EXPECT_EQ(NativeToUtf16("\xF0\x9F\x98"), Units({0xDCF0, 0xDC9F, 0xDC98}));
  for (const char* bytes : {"\xED\xB2\x80", "\xF4\x90\x80\x80", "\xF0\x9F\x98"}) {
    EXPECT_EQ(Utf16ToNative(NativeToUtf16(bytes)), bytes);
  }
}

TEST(NativeNameTest, EveryTwoByteNameRoundTrips) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(Utf16ToNative(NativeToUtf16(bytes)), bytes) << a << " " << b;
    }
  }
}

}  // namespace
}  // namespace corvalen
