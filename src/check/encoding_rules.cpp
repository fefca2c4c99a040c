#include "check/encoding_rules.h"

#include <array>
#include <cstring>
#include <memory>

#include "platform/ansi_file_decoder.h"

namespace corvalen {
namespace {

// Code unit -> the byte of the ANSI code page it was read from, for the
// units of bytes 0x80 to 0xFF.
class AnsiBytes {
 public:
  AnsiBytes() : byte_(std::make_unique<std::array<uint8_t, 0x10000>>()) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char byte = static_cast<char>(b);
      char16_t unit = 0;
      size_t read = 0;
      if (DecodeAnsiCodePage(std::string_view(&byte, 1), true, &unit, &read) == 1) {
        (*byte_)[unit] = static_cast<uint8_t>(b);
      }
    }
  }
  // 0 when no byte past ASCII gives `unit`.
  uint8_t ByteOf(char16_t unit) const { return (*byte_)[unit]; }

 private:
  std::unique_ptr<std::array<uint8_t, 0x10000>> byte_;
};

const AnsiBytes& Ansi() {
  static const AnsiBytes ansi;
  return ansi;
}

// The length of the UTF-8 sequence whose bytes, read as the ANSI code page,
// start at text[i], or 0 when there is none.
size_t Utf8SequenceAt(std::u16string_view text, size_t i) {
  const AnsiBytes& ansi = Ansi();
  uint8_t b[4] = {ansi.ByteOf(text[i]), 0, 0, 0};
  const size_t length = b[0] >= 0xC2 && b[0] <= 0xDF   ? 2
                        : b[0] >= 0xE0 && b[0] <= 0xEF ? 3
                        : b[0] >= 0xF0 && b[0] <= 0xF4 ? 4
                                                       : 0;
  if (length == 0 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    b[k] = ansi.ByteOf(text[i + k]);
    if ((b[k] & 0xC0) != 0x80) return 0;
  }
  if ((b[0] == 0xE0 && b[1] < 0xA0) || (b[0] == 0xED && b[1] >= 0xA0) ||
      (b[0] == 0xF0 && b[1] < 0x90) || (b[0] == 0xF4 && b[1] >= 0x90)) {
    return 0;
  }
  return length;
}

bool IsAsciiLetter(char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; }
bool IsAccentedLetter(char16_t c) { return c >= 0xC0 && c <= 0xFF && c != 0xD7 && c != 0xF7; }

// Cyrillic in Windows-1251 read as Windows-1252 shows its common vowels
// о а е и as î à å è; Greek in Windows-1253 shows α ο ι as á ï é.
const char16_t* LikelyCodePage(std::u16string_view run) {
  int cyrillic = 0, greek = 0;
  for (char16_t c : run) {
    cyrillic += c == 0xEE || c == 0xE0 || c == 0xE8;
    greek += c == 0xE1 || c == 0xEF || c == 0xE9;
  }
  return greek > cyrillic ? u"Windows-1253 (griego)" : u"Windows-1251 (cirílico)";
}

}  // namespace

void EncodingRules::Observe(const TsqlToken& t) {
  const std::u16string_view s = t.text;
  size_t run = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x80) {
      if (IsAsciiLetter(c)) run = 0;
      continue;
    }
    const size_t at = static_cast<size_t>(s.data() - text_.data()) + i;
    if (!utf8_outside_ && Utf8SequenceAt(s, i) > 0) utf8_outside_ = at;
    run = IsAccentedLetter(c) ? run + 1 : 0;
    if (run == 4 && !foreign_run_ && t.kind != TsqlToken::kWord) foreign_run_ = at - 3;
    if (utf8_outside_ && foreign_run_) return;
  }
}

void EncodingRules::Finish() {
  // Bytes that are no UTF-8, anywhere.
  std::optional<size_t> not_utf8;
  if (utf8_outside_) {
    for (size_t i = 0; i < text_.size();) {
      if (text_[i] < 0x80) {
        ++i;
        continue;
      }
      const size_t length = Utf8SequenceAt(text_, i);
      if (length == 0) {
        not_utf8 = i;
        break;
      }
      i += length;
    }
    if (not_utf8) {
      found_->Add({*utf8_outside_, FindingLevel::kError,
                   u"el archivo mezcla UTF-8 y Windows-1252 (línea {línea}): se lee entero como "
                   u"Windows-1252 y lo escrito en UTF-8 saldrá mal",
                   *not_utf8});
    } else {
      found_->Add({*utf8_outside_, FindingLevel::kError,
                   u"el archivo es UTF-8 sin marca de orden de bytes: se lee como Windows-1252 y "
                   u"sus acentos saldrán mal",
                   std::nullopt});
    }
    return;
  }
  if (foreign_run_) {
    found_->Add({*foreign_run_, FindingLevel::kNote,
                 u"el texto parece escrito en " +
                     std::u16string(LikelyCodePage(text_.substr(*foreign_run_, 64))) +
                     u" y se lee como Windows-1252: lo que se guarde desde esta línea saldrá mal",
                 std::nullopt});
  }
}

void NarrowLiterals::Observe(const TsqlToken& t) {
  if (t.kind != TsqlToken::kString || reporter_.inner() || t.text.empty() || t.text[0] != u'\'') {
    return;
  }
  const AnsiBytes& ansi = Ansi();
  for (size_t i = 1; i < t.text.size(); ++i) {
    const char16_t c = t.text[i];
    if (c < 0x80 || ansi.ByteOf(c) != 0) continue;
    // A surrogate pair is one character.
    const size_t length = c >= 0xD800 && c <= 0xDBFF && i + 1 < t.text.size() ? 2 : 1;
    reporter_.Error(reporter_.Pos(t.text.data()),
                    u"texto sin N con un carácter que Windows-1252 no tiene (" +
                        std::u16string(t.text.substr(i, length)) +
                        u"): SQL Server lo convierte a la página de códigos de la base y lo "
                        u"guarda como ?; escríbalo N'…'");
    return;
  }
}

}  // namespace corvalen
