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

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // byte b (>= 0x80) <-> U+DC00 + b
constexpr char16_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at `p` (at most `n` bytes left),
// or 0 when there is none; `code` receives its code point.
size_t WellFormedSequence(const unsigned char* p, size_t n, char32_t* code) {
  const unsigned char b = p[0];
  if (b < 0x80) {
    *code = b;
    return 1;
  }
  size_t length;
  char32_t c, minimum;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, c = b & 0x1F, minimum = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, c = b & 0x0F, minimum = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, c = b & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if (!IsContinuation(p[k])) return 0;
    c = (c << 6) | (p[k] & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8;
  // an encoded U+DC80..U+DCFF must not pass either, or it would read back as
  // an escaped byte.
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  *code = c;
  return length;
}

}  // namespace

std::u16string NativeToUtf16(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    char32_t c = 0;
    const size_t length = WellFormedSequence(p + i, n - i, &c);
    if (length == 0) {
      out += static_cast<char16_t>(kEscapeBase + p[i]);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

std::string Utf16ToNative(std::u16string_view name) {
  std::string out;
  out.reserve(name.size());
  auto put = [&out](char32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t u = name[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      put(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (name[i + 1] - 0xDC00));
      ++i;
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      out += static_cast<char>(u - kEscapeBase);  // an escaped byte goes back as it was
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      put(kReplacement);  // no byte stands for any other lone surrogate
    } else {
      put(u);
    }
  }
  return out;
}

std::u16string DisplayName(std::u16string_view name) {
  std::u16string out(name);
  for (size_t i = 0; i < out.size(); ++i) {
    const char16_t u = out[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
        out[i + 1] <= 0xDFFF) {
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out[i] = kReplacement;
    }
  }
  return out;
}

std::u16string ToDecimal(long long value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

}  // namespace corvalen
