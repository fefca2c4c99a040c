#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/ansi_file_bytes.h"
#include "platform/numbered_error.h"
#include "platform/system_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

bool FolderExists(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return true;  // relative to the current folder
  std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// errno's error for a file that did not open: ENOENT is 76 rather than 53
// when the folder is missing too.
NumberedError OpenError(int error_number, const std::string& path) {
  if (error_number == ENOENT && !FolderExists(path)) return NumberedError(kErrPathNotFound);
  return FileError(static_cast<uint32_t>(error_number));
}

}  // namespace

FileBytes::FileBytes(const std::u16string& path) {
  const std::string native = Utf16ToNative(path);
  if (native.empty() || native.find('\0') != std::string::npos) {
    throw NumberedError(kErrBadFileName);
  }
  // O_NONBLOCK: a FIFO put where the script was must not wait for a writer.
  int fd;
  do {
    fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw OpenError(errno, native);
  struct stat info;
  const int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    throw NumberedError(kErrPathFileAccess);
  }
  handle_ = fd;
}

FileBytes::~FileBytes() { Close(); }

size_t FileBytes::Read(char* buffer, size_t capacity) {
  if (handle_ < 0) throw NumberedError(kErrBadFileName);
  for (;;) {
    ssize_t n = read(static_cast<int>(handle_), buffer, capacity);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EISDIR) throw NumberedError(kErrPathFileAccess);
    throw NumberedError(kErrDeviceIo, StandardDescription(kErrDeviceIo) + u" (" +
                                          SystemErrorText(static_cast<uint32_t>(errno)) + u")");
  }
}

void FileBytes::Close() {
  if (handle_ >= 0) {
    close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

}  // namespace corvalen
