// The UTF-8 conversions agree with ICU's, which the program used before.
#include <gtest/gtest.h>
#include <unicode/unistr.h>

#include <string>

#include "platform/utf.h"

namespace corvalen {
namespace {

std::u16string IcuFromUtf8(const std::string& bytes) {
  const icu::UnicodeString s = icu::UnicodeString::fromUTF8(
      icu::StringPiece(bytes.data(), static_cast<int32_t>(bytes.size())));
  return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

TEST(Utf8PosixTest, DecodesEveryShortSequenceAsIcuDoes) {
  // Bytes at the edges of the ranges of Table 3-7 of the Unicode Standard,
  // in every combination of up to four.
  const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
  const size_t count = sizeof edges;
  for (size_t length = 1; length <= 4; ++length) {
    size_t combinations = 1;
    for (size_t k = 0; k < length; ++k) combinations *= count;
    for (size_t x = 0; x < combinations; ++x) {
      std::string bytes;
      for (size_t k = 0, y = x; k < length; ++k, y /= count) bytes += static_cast<char>(edges[y % count]);
      ASSERT_EQ(Utf8ToUtf16(bytes), IcuFromUtf8(bytes)) << ::testing::PrintToString(bytes);
    }
  }
}

}  // namespace
}  // namespace corvalen
