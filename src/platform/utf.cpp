#include "platform/utf.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace corvalen {
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

// Eight UTF-16 code units, and eight bytes, as vectors of GCC and Clang.
using Units = uint16_t __attribute__((vector_size(16)));
using Bytes = uint8_t __attribute__((vector_size(8)));

// Appends the UTF-8 bytes of code point `c`.
void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

size_t DecodeUtf8(std::string_view utf8, bool final, char16_t* out, size_t* read) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const size_t n = utf8.size();
  char16_t* const start = out;
  size_t i = 0;
  while (i < n) {
    // Runs of ASCII, the bulk of scripts, are widened eight bytes at a time.
    while (n - i >= 8) {
      unsigned char bits = 0;
      for (size_t k = 0; k < 8; ++k) bits |= p[i + k];
      if (bits >= 0x80) break;
      for (size_t k = 0; k < 8; ++k) out[k] = p[i + k];
      out += 8;
      i += 8;
    }
    if (i == n) break;
    const unsigned char b = p[i];
    if (b < 0x80) {
      *out++ = b;
      ++i;
      continue;
    }
    // The sequence's length and the range of its second byte (Table 3-7 of
    // the Unicode Standard: no overlong forms, surrogates or code points past
    // U+10FFFF); later bytes are 80..BF.
    size_t length;
    unsigned char low = 0x80, high = 0xBF;
    char32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2, c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3, c = b & 0x0F;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4, c = b & 0x07;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      *out++ = kReplacement;  // a byte that starts no sequence
      ++i;
      continue;
    }
    // The maximal subpart: the bytes that fit, up to the whole sequence.
    size_t fit = 1;
    while (fit < length && i + fit < n && p[i + fit] >= low && p[i + fit] <= high) {
      c = (c << 6) | (p[i + fit] & 0x3F);
      low = 0x80, high = 0xBF;
      ++fit;
    }
    if (fit == length) {
      if (c >= 0x10000) {
        c -= 0x10000;
        *out++ = static_cast<char16_t>(0xD800 + (c >> 10));
        *out++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      } else {
        *out++ = static_cast<char16_t>(c);
      }
    } else if (i + fit == n && !final) {
      break;  // the next bytes may complete it
    } else {
      *out++ = kReplacement;
    }
    i += fit;
  }
  *read = i;
  return static_cast<size_t>(out - start);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size(), u'\0');
  size_t read;
  out.resize(DecodeUtf8(utf8, true, out.data(), &read));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  // Every batch sent to SQLite passes through here, so the bytes are written
  // in place (one code unit gives at most three bytes, a pair four) and runs
  // of ASCII are narrowed eight code units at a time.
  std::string out(utf16.size() * 3, '\0');
  auto* o = reinterpret_cast<unsigned char*>(out.data());
  const char16_t* p = utf16.data();
  const size_t n = utf16.size();
  size_t i = 0;
  while (i < n) {
    while (n - i >= 8) {
      Units units;
      std::memcpy(&units, p + i, sizeof units);
      uint64_t high[2];
      const Units past_ascii = units & 0xFF80;
      std::memcpy(high, &past_ascii, sizeof high);
      if ((high[0] | high[1]) != 0) break;
      const Bytes bytes = __builtin_convertvector(units, Bytes);
      std::memcpy(o, &bytes, sizeof bytes);
      o += 8;
      i += 8;
    }
    if (i == n) break;
    char32_t c = p[i++];
    if (c >= 0xD800 && c <= 0xDBFF && i < n && p[i] >= 0xDC00 && p[i] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[i++] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    if (c < 0x80) {
      *o++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
      *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
      *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
      *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
      *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<size_t>(o - reinterpret_cast<unsigned char*>(out.data())));
  return out;
}

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
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t u = name[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      AppendUtf8(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (name[i + 1] - 0xDC00),
                 &out);
      ++i;
    } else if (u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF) {
      out += static_cast<char>(u - kEscapeBase);  // an escaped byte goes back as it was
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(kReplacement, &out);  // no byte stands for any other lone surrogate
    } else {
      AppendUtf8(u, &out);
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
