#include "platform/utf.h"

#include <unicode/unistr.h>

#include <string>

namespace corvalen {

std::u16string Utf8ToUtf16(std::string_view utf8) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(
      icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  return std::u16string(s.getBuffer(), static_cast<size_t>(s.length()));
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  icu::UnicodeString s(false, utf16.data(), static_cast<int32_t>(utf16.size()));
  std::string out;
  s.toUTF8String(out);
  return out;
}

std::u16string ToDecimal(long long value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace corvalen
