#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file_write.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

// Creates a new, empty file beside `native` (a mkstemp template in its
// folder); returns its descriptor and name, or -1.
int CreateBeside(const std::string& native, std::string* name) {
  std::vector<char> pattern(native.begin(), native.end());
  const std::string suffix = ".tmp-XXXXXX";
  pattern.insert(pattern.end(), suffix.begin(), suffix.end());
  pattern.push_back('\0');
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) *name = pattern.data();
  return fd;
}

}  // namespace

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
  const std::string native = Utf16ToNative(path);
  std::string temporary;
  const int fd = CreateBeside(native, &temporary);
  if (fd < 0) FailToWrite(path, static_cast<uint32_t>(errno));
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error_number = errno;
      close(fd);
      unlink(temporary.c_str());
      FailToWrite(path, static_cast<uint32_t>(error_number));
    }
    written += static_cast<size_t>(n);
  }
  // Readable as any new file; mkstemp made it private to its owner.
  // On disk before the rename, so that a crash cannot leave an empty file.
  bool ok = fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  int error_number = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error_number = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    FailToWrite(path, static_cast<uint32_t>(error_number));
  }
  if (std::rename(temporary.c_str(), native.c_str()) != 0) {
    const int error_number = errno;
    unlink(temporary.c_str());
    FailToWrite(path, static_cast<uint32_t>(error_number));
  }
}

bool CanCreateFileAt(const std::u16string& path) {
  std::string temporary;
  const int fd = CreateBeside(Utf16ToNative(path), &temporary);
  if (fd < 0) return false;
  close(fd);
  unlink(temporary.c_str());
  return true;
}

}  // namespace corvalen
