#include "platform/ansi_file_decoder.h"

#include <unicode/ucnv.h>

#include <cstdint>

#include "platform/numbered_error.h"
#include "platform/utf.h"

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

const char* IcuName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8: return "UTF-8";
    case TextEncoding::kUtf16Le: return "UTF-16LE";
    case TextEncoding::kUtf16Be: return "UTF-16BE";
    case TextEncoding::kWindows1252: break;
  }
  return nullptr;
}

// Windows-1252 decoding: blocks of plain ASCII are widened as they are (the
// compiler vectorises the fixed-size loops); other blocks go through the table.
size_t DecodeWindows1252(std::string_view bytes, char16_t* out) {
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
  return n;
}

}  // namespace

DetectedEncoding DetectEncoding(std::string_view head) {
  auto starts = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) return {TextEncoding::kUtf8, 3};
  if (starts("\xFF\xFE")) return {TextEncoding::kUtf16Le, 2};
  if (starts("\xFE\xFF")) return {TextEncoding::kUtf16Be, 2};
  return {TextEncoding::kWindows1252, 0};
}

const std::array<char16_t, 256>& Windows1252Table() {
  static const std::array<char16_t, 256> table = BuildWindows1252Table();
  return table;
}

TextDecoder::TextDecoder(TextEncoding encoding) : encoding_(encoding) {
  if (const char* name = IcuName(encoding)) {
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_open(name, &status);
    if (U_FAILURE(status)) {
      throw NumberedError(kErrInvalidArgument, u"Text converter unavailable");
    }
  } else {
    Windows1252Table();  // built now rather than in the middle of a file
  }
}

TextDecoder::~TextDecoder() {
  if (converter_) ucnv_close(converter_);
}

size_t TextDecoder::Decode(std::string_view bytes, char16_t* out) {
  if (!converter_) return DecodeWindows1252(bytes, out);
  return Convert(bytes, out, false);
}

size_t TextDecoder::Finish(char16_t* out) {
  if (!converter_) return 0;
  return Convert(std::string_view(), out, true);
}

size_t TextDecoder::Convert(std::string_view bytes, char16_t* out, bool flush) {
  const char* source = bytes.data();
  const char* source_end = source + bytes.size();
  char16_t* target = out;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_toUnicode(converter_, &target, out + MaxOutput(bytes.size()), &source, source_end, nullptr,
                 flush, &status);
  if (U_FAILURE(status)) {
    throw NumberedError(kErrInvalidArgument,
                        u"Text decoding failed (" + Utf8ToUtf16(u_errorName(status)) + u")");
  }
  return static_cast<size_t>(target - out);
}

}  // namespace corvalen
