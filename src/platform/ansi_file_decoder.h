// Decoding of a text file's bytes to UTF-16, chunk by chunk.
//
// A file that begins with a byte-order mark (UTF-8, UTF-16 LE, UTF-16 BE) is
// decoded by it and the mark is not part of the text; any other file is
// Windows-1252, which stands for the system's ANSI code page.
#ifndef CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_
#define CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_

#include <array>
#include <cstddef>
#include <string_view>

struct UConverter;

namespace corvalen {

enum class TextEncoding { kWindows1252, kUtf8, kUtf16Le, kUtf16Be };

// The longest byte-order mark; DetectEncoding needs this many bytes of the
// file's start (or the whole file when it is shorter) to decide.
inline constexpr size_t kLongestByteOrderMark = 3;

struct DetectedEncoding {
  TextEncoding encoding;
  size_t mark_length;  // bytes of byte-order mark to skip (0 for Windows-1252)
};

// The encoding that the first bytes of a file announce.
DetectedEncoding DetectEncoding(std::string_view head);

// The UTF-16 code unit of each Windows-1252 byte. Built once, from ICU's
// converter, on first use; thread-safe.
const std::array<char16_t, 256>& Windows1252Table();

class TextDecoder {
 public:
  explicit TextDecoder(TextEncoding encoding);
  TextDecoder(const TextDecoder&) = delete;
  TextDecoder& operator=(const TextDecoder&) = delete;
  ~TextDecoder();

  // Room that `Decode` or `Finish` may need in `out` for `byte_count` bytes.
  static size_t MaxOutput(size_t byte_count) { return byte_count + 4; }

  // Decodes the next chunk of the file into `out`, which has room for
  // MaxOutput(bytes.size()) code units; returns the number written. A
  // sequence cut by the chunk's end is completed by the next chunk.
  // Ill-formed input becomes U+FFFD; never throws on bad bytes.
  size_t Decode(std::string_view bytes, char16_t* out);

  // Ends the input: writes U+FFFD for an incomplete sequence left over (room
  // for MaxOutput(0)); returns the number written.
  size_t Finish(char16_t* out);

 private:
  size_t Convert(std::string_view bytes, char16_t* out, bool flush);

  TextEncoding encoding_;
  UConverter* converter_ = nullptr;  // for the Unicode encodings only
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_ANSI_FILE_DECODER_H_
