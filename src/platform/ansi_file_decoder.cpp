// The byte-order-mark rule and the Unicode decoders, the same on every
// system; the ANSI code page is the platform's (ansi_file_decoder_posix.cpp,
// ansi_file_decoder_windows.cpp).
#include "platform/ansi_file_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/utf.h"

namespace corvalen {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// UTF-16 in either byte order. An unpaired surrogate becomes U+FFFD, as does
// what is left at the end of the file of a code unit or of a surrogate pair.
// Unless `final`, a lead surrogate or a byte at the end is left unread: the
// next bytes decide.
size_t DecodeUtf16(std::string_view bytes, bool big_endian, bool final, char16_t* out,
                   size_t* read) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  const size_t hi = big_endian ? 0 : 1;
  auto unit = [&](size_t k) { return static_cast<char16_t>(p[k + hi] << 8 | p[k + 1 - hi]); };
  char16_t* const start = out;
  size_t i = 0;
  while (n - i >= 2) {
    const char16_t u = unit(i);
    if (u < 0xD800 || u > 0xDFFF) {
      *out++ = u;
      i += 2;
    } else if (u <= 0xDBFF && n - i >= 4 && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      *out++ = u;
      *out++ = unit(i + 2);
      i += 4;
    } else if (u <= 0xDBFF && n - i < 4) {
      if (!final) break;
      *out++ = kReplacement;  // a pair cut short by the end of the file
      i = n;
    } else {
      *out++ = kReplacement;
      i += 2;
    }
  }
  if (i < n && final) {
    *out++ = kReplacement;  // half a code unit
    i = n;
  }
  *read = i;
  return static_cast<size_t>(out - start);
}

}  // namespace

DetectedEncoding DetectEncoding(std::string_view head) {
  auto starts = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
  if (starts("\xEF\xBB\xBF")) return {TextEncoding::kUtf8, 3};
  if (starts("\xFF\xFE")) return {TextEncoding::kUtf16Le, 2};
  if (starts("\xFE\xFF")) return {TextEncoding::kUtf16Be, 2};
  return {TextEncoding::kAnsiCodePage, 0};
}

TextDecoder::TextDecoder(TextEncoding encoding) : encoding_(encoding) {
  if (encoding == TextEncoding::kAnsiCodePage) {
    // Sets the code page up now rather than in the middle of a file.
    size_t read;
    DecodeAnsiCodePage(std::string_view(), true, nullptr, &read);
  }
}

size_t TextDecoder::DecodeSome(std::string_view bytes, bool final, char16_t* out,
                               size_t* read) const {
  switch (encoding_) {
    case TextEncoding::kUtf8: return DecodeUtf8(bytes, final, out, read);
    case TextEncoding::kUtf16Le: return DecodeUtf16(bytes, false, final, out, read);
    case TextEncoding::kUtf16Be: return DecodeUtf16(bytes, true, final, out, read);
    case TextEncoding::kAnsiCodePage: break;
  }
  return DecodeAnsiCodePage(bytes, final, out, read);
}

size_t TextDecoder::Decode(std::string_view bytes, char16_t* out) {
  size_t written = 0;
  size_t read;
  if (pending_length_ > 0) {
    // The sequence cut by the last chunk, joined with the first bytes of this
    // one: more than any decoder leaves unread, so that it ends in `joined`
    // unless this chunk is shorter.
    constexpr size_t kJoin = kMaxPending + 1;
    char joined[kMaxPending + kJoin];
    const size_t taken = std::min(bytes.size(), kJoin);
    std::memcpy(joined, pending_, pending_length_);
    std::memcpy(joined + pending_length_, bytes.data(), taken);
    const size_t joined_length = pending_length_ + taken;
    written = DecodeSome(std::string_view(joined, joined_length), false, out, &read);
    if (taken == bytes.size()) {
      pending_length_ = joined_length - read;
      std::memmove(pending_, joined + read, pending_length_);
      return written;
    }
    bytes.remove_prefix(read - pending_length_);
    pending_length_ = 0;
  }
  written += DecodeSome(bytes, false, out + written, &read);
  pending_length_ = bytes.size() - read;
  std::memcpy(pending_, bytes.data() + read, pending_length_);
  return written;
}

size_t TextDecoder::Finish(char16_t* out) {
  size_t read;
  const size_t written = DecodeSome(std::string_view(pending_, pending_length_), true, out, &read);
  pending_length_ = 0;
  return written;
}

}  // namespace corvalen
