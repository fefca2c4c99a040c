// The ANSI code page on Windows: the one the system is set to (CP_ACP),
// through MultiByteToWideChar, as Windows programs read text without a
// byte-order mark. A single-byte code page decodes each chunk whole. In a
// double-byte code page (Japanese, Chinese, Korean) a lead byte at a chunk's
// end waits for its trail byte in the next chunk. A system set to UTF-8
// decodes as a file marked UTF-8 does.
#include <windows.h>

#include <array>
#include <climits>

#include "platform/ansi_file_decoder.h"
#include "platform/numbered_error.h"
#include "platform/system_error.h"
#include "platform/utf.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

struct CodePage {
  UINT id = 0;
  bool double_byte = false;
  std::array<bool, 256> lead{};  // the lead bytes of a double-byte code page
};

CodePage SystemCodePage() {
  CodePage page;
  page.id = GetACP();
  CPINFO info;
  if (page.id != CP_UTF8 && !GetCPInfo(page.id, &info)) {
    throw NumberedError(kErrInvalidArgument, u"No se encontró el conversor de la página de códigos " + ToDecimal(page.id) +
                                                  u" del sistema: " + SystemErrorText(GetLastError()));
  }
  if (page.id != CP_UTF8 && info.MaxCharSize > 1) {
    page.double_byte = true;
    // LeadByte holds up to six ranges as pairs, ended by a pair of zeros.
    for (size_t r = 0; r + 1 < MAX_LEADBYTES && info.LeadByte[r] != 0; r += 2) {
      for (unsigned b = info.LeadByte[r]; b <= info.LeadByte[r + 1]; ++b) page.lead[b] = true;
    }
  }
  return page;
}

// The longest start of `p` made of whole characters: `n`, or `n` - 1 when the
// last byte is a lead byte. Lead and trail bytes share values, so the
// characters are walked from `p`, which starts one.
size_t WholeCharacters(const CodePage& page, const unsigned char* p, size_t n) {
  if (!page.double_byte) return n;
  size_t i = 0;
  while (i < n) i += page.lead[p[i]] ? 2 : 1;
  return i > n ? n - 1 : n;
}

}  // namespace

size_t DecodeAnsiCodePage(std::string_view bytes, bool final, char16_t* out, size_t* read) {
  static const CodePage page = SystemCodePage();
  if (page.id == CP_UTF8) return DecodeUtf8(bytes, final, out, read);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t whole = final ? bytes.size() : WholeCharacters(page, p, bytes.size());
  // MultiByteToWideChar counts in int: long input goes in pieces of whole
  // characters.
  constexpr size_t kMaxPiece = INT_MAX / 2;
  size_t done = 0;
  size_t written = 0;
  while (done < whole) {
    const size_t piece = whole - done <= kMaxPiece
                             ? whole - done
                             : WholeCharacters(page, p + done, kMaxPiece);
    const int n = MultiByteToWideChar(page.id, 0, bytes.data() + done, static_cast<int>(piece),
                                      Wide(out + written),
                                      static_cast<int>(piece));
    if (n <= 0) {
      throw NumberedError(kErrInvalidArgument, u"No se pudo convertir el texto: " +
                                                   SystemErrorText(GetLastError()));
    }
    done += piece;
    written += static_cast<size_t>(n);
  }
  *read = whole;
  return written;
}

}  // namespace corvalen
