// Decoding of a text file's bytes to UTF-16, chunk by chunk.
//
// A file that begins with a byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE) is
// decoded by it and the mark is not part of the text; any other file is in
// the system's ANSI code page: Windows-1252 on POSIX, the code page Windows
// is set to (CP_ACP) on Windows.
#ifndef CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_
#define CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_

#include <cstddef>
#include <string_view>

namespace corvalen {

enum class TextEncoding { kAnsiCodePage, kUtf8, kUtf16Le, kUtf16Be };

// The longest byte-order mark; DetectEncoding needs this many bytes of the
// file's start (or the whole file when it is shorter) to decide.
inline constexpr size_t kLongestByteOrderMark = 3;

struct DetectedEncoding {
  TextEncoding encoding;
  size_t mark_length;  // bytes of byte-order mark to skip (0 for the code page)
};

// The encoding that the first bytes of a file announce.
DetectedEncoding DetectEncoding(std::string_view head);

// Decodes `bytes` of the system's ANSI code page into `out` (room for
// bytes.size() code units); returns the number written. Unless `final`, a
// character that the end of `bytes` cuts short (the lead byte of a
// double-byte code page) is left undecoded; `*read` receives the number of
// bytes decoded. Bytes the code page does not define become what the system
// makes of them (a control character or its default character); never throws
// on bad bytes, but raises NumberedError 5 when the system offers no decoder.
// The first call sets the code page up, once per process; thread-safe.
size_t DecodeAnsiCodePage(std::string_view bytes, bool final, char16_t* out, size_t* read);

class TextDecoder {
 public:
  // Raises NumberedError 5 when the system offers no decoder.
  explicit TextDecoder(TextEncoding encoding);
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;

  // Room that `Decode` or `Finish` may need in `out` for `byte_count` bytes.
  static size_t MaxOutput(size_t byte_count) { return byte_count + 4; }

  // Decodes the next chunk of the file into `out`, which has room for
  // MaxOutput(bytes.size()) code units; returns the number written. A
  // sequence cut by the chunk's end is completed by the next chunk.
  // Ill-formed Unicode becomes U+FFFD, one for each maximal subpart of a
  // UTF-8 sequence, one for each unpaired surrogate or for a code unit cut
  // short by the end of the file; never throws on bad bytes.
  size_t Decode(std::string_view bytes, char16_t* out);

  // Ends the input: writes U+FFFD for an incomplete sequence left over (room
  // for MaxOutput(0)); returns the number written.
  size_t Finish(char16_t* out);

 private:
  // Bytes of a sequence cut short that a decoder may leave unread: the three
  // first bytes of a 4-byte UTF-8 sequence, or a UTF-16 lead surrogate and
  // half of the next code unit.
  static constexpr size_t kMaxPending = 3;

  // Decodes `bytes` in the file's encoding; unless `final`, leaves a
  // sequence cut by their end unread (`*read`: the bytes decoded).
  size_t DecodeSome(std::string_view bytes, bool final, char16_t* out, size_t* read) const;

  TextEncoding encoding_;
  char pending_[kMaxPending] = {};
  size_t pending_length_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_
