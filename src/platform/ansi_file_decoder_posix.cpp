// The ANSI code page on POSIX: Windows-1252, the code page of the systems the
// scripts are written on, through a table built once from ICU's converter.
#include <unicode/ucnv.h>

#include <array>

#include "platform/ansi_file_decoder.h"
#include "platform/numbered_error.h"

namespace corvalen {
namespace {

std::array<char16_t, 256> BuildWindows1252Table() {
  std::array<char16_t, 256> table{};
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-1252", &status);
  if (U_FAILURE(status)) {
    throw NumberedError(kErrInvalidArgument, u"Windows-1252 converter unavailable");
  }
  for (int byte = 0; byte < 256; ++byte) {
    char in = static_cast<char>(byte);
    UChar out[4];
    status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(converter, out, 4, &in, 1, &status);
    // Every byte of Windows-1252 has a single code unit; a byte that the
    // converter could not map at all keeps the replacement character.
    table[static_cast<size_t>(byte)] = (U_SUCCESS(status) && n == 1) ? out[0] : u'\uFFFD';
  }
  ucnv_close(converter);
  return table;
}

const std::array<char16_t, 256>& Windows1252Table() {
  static const std::array<char16_t, 256> table = BuildWindows1252Table();
  return table;
}

}  // namespace

// Blocks of plain ASCII are widened as they are (the compiler vectorises the
// fixed-size loops); other blocks go through the table. A single-byte code
// page never leaves a byte unread.
size_t DecodeAnsiCodePage(std::string_view bytes, bool /*final*/, char16_t* out, size_t* read) {
  const auto& table = Windows1252Table();
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  constexpr size_t kBlock = 16;
  size_t i = 0;
  for (; i + kBlock <= n; i += kBlock) {
    unsigned char high = 0;
    for (size_t k = 0; k < kBlock; ++k) high |= in[i + k];
    if (high < 0x80) {
      for (size_t k = 0; k < kBlock; ++k) out[i + k] = in[i + k];
    } else {
      for (size_t k = 0; k < kBlock; ++k) out[i + k] = table[in[i + k]];
    }
  }
  for (; i < n; ++i) out[i] = table[in[i]];
  *read = n;
  return n;
}

}  // namespace corvalen
