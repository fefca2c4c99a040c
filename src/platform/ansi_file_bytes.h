// Sequential reading of a file's raw bytes, in chunks.
#ifndef CORVALEN_PLATFORM_ANSI_FILE_BYTES_H_
#define CORVALEN_PLATFORM_ANSI_FILE_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvalen {

class FileBytes {
 public:
  // Opens `path` (a system name as NativeToUtf16 holds it on POSIX,
  // platform/utf.h; the UTF-16 name on Windows) for reading. Only a regular
  // file opens, and opening never waits. Raises NumberedError: 53 "File not
  // found" when the file does not exist, 76 "Path not found" when its folder
  // does not, 75 "Path/File access error" when it cannot be read (no
  // permission, or held by a program that lets no one read it) or is not a
  // regular file (a folder, a FIFO or pipe, a device, a socket), 7 "Out of
  // memory", 52 "Bad file name or number" with the system's text otherwise.
  explicit FileBytes(const std::u16string& path);
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  // Reads up to `capacity` bytes into `buffer`; returns how many were read,
  // 0 only at the end of the file. Raises NumberedError 57 "Device I/O
  // error" (with the system's text) when the read fails, and 52 once closed.
  size_t Read(char* buffer, size_t capacity);

  // Closes the file; later reads fail. Closing twice does nothing.
  void Close();

 private:
  intptr_t handle_ = -1;  // the file descriptor or HANDLE; -1 when closed
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_ANSI_FILE_BYTES_H_
