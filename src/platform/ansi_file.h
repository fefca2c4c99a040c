// A text file opened for sequential line input in the system's ANSI code page
// (Windows-1252 on POSIX, the system's own on Windows), or in the encoding its
// byte-order mark announces (platform/ansi_file_decoder.h).
//
// A line ends at a CR, or at a CR LF pair (the LF belongs to the line end).
// An LF that does not follow a CR does not end a line: it stays in the line's
// text. A line never contains a CR. The last line is read even when no line
// end follows it; a file that ends with a line end has no empty line after it.
//
// The file is read and decoded in chunks, so memory stays small whatever the
// file's size.
#ifndef CORVALEN_PLATFORM_ANSI_FILE_H_
#define CORVALEN_PLATFORM_ANSI_FILE_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/ansi_file_bytes.h"
#include "platform/ansi_file_decoder.h"

namespace corvalen {

class LineInput {
 public:
  // Bytes read from the file at a time: few reads, and buffers small enough
  // to stay in the processor's cache as they are filled again.
  static constexpr size_t kDefaultChunkBytes = 1 << 16;

  // Opens `path`; raises NumberedError as FileBytes does (53, 75, 76, 52).
  explicit LineInput(const std::u16string& path, size_t chunk_bytes = kDefaultChunkBytes);
  LineInput(const LineInput&) = delete;
  LineInput& operator=(const LineInput&) = delete;
  ~LineInput();

  // True when no line is left. Raises NumberedError on a read failure.
  bool AtEnd();

  // Replaces `*line` with the next line, without its line end. Raises
  // NumberedError 62 "Input past end of file" when no line is left, or the
  // read failure.
  void ReadLine(std::u16string* line);

  // The encoding found at the start of the file (known after the first
  // AtEnd or ReadLine).
  std::optional<TextEncoding> encoding() const { return encoding_; }

  // Closes the file; closing twice does nothing.
  void Close();

 private:
  // Makes decoded text available at pos_ unless the file is exhausted;
  // returns false when no text is left.
  bool Fill();
  void Decode(size_t byte_count);

  FileBytes file_;
  size_t chunk_bytes_;
  std::unique_ptr<char[]> bytes_;
  std::unique_ptr<char16_t[]> text_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool bytes_exhausted_ = false;
  bool skip_lf_ = false;  // the last line ended at a CR: an LF next belongs to it
  std::optional<TextEncoding> encoding_;
  std::unique_ptr<TextDecoder> decoder_;
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_ANSI_FILE_H_
