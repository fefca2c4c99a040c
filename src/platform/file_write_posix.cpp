#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file_write.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

// A name beside `native` that nothing holds yet is tried in turn.
std::string NameBeside(const std::string& native) {
  static std::atomic<unsigned> counter{0};
  return native + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Creates a new, empty file beside `native`, with the mode a new file gets
// (0666 less the umask); returns its descriptor and name, or -1.
int CreateBeside(const std::string& native, std::string* name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = NameBeside(native);
    const int fd = open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// A file with no name in the folder of `native` (O_TMPFILE), so that a
// process killed while writing leaves nothing behind; -1 where the system
// or the file system has none.
int CreateNameless(const std::string& native) {
#ifdef O_TMPFILE
  std::string folder = std::filesystem::path(native).parent_path().native();
  if (folder.empty()) folder = ".";
  return open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
#else
  (void)native;
  return -1;
#endif
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

// Writes `bytes` into a file beside `native` and renames it to `native`;
// `nameless`: first into a file without a name (see CreateNameless). False,
// with `*error_number` zero, when a nameless file could not be named (no
// /proc): the caller then writes a named one.
bool WriteBeside(const std::string& native, std::string_view bytes, bool nameless,
                 int* error_number) {
  // A file that exists keeps its mode; a new one gets what the umask leaves.
  struct stat existing;
  const bool keep_mode = stat(native.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  std::string temporary;
  const int fd = nameless ? CreateNameless(native) : CreateBeside(native, &temporary);
  auto fail = [&](int number) {
    *error_number = number;
    if (fd >= 0) close(fd);
    if (!temporary.empty()) unlink(temporary.c_str());
    return false;
  };
  if (fd < 0) return fail(nameless ? 0 : errno);
  // On disk before the rename, so that a crash cannot leave an empty file.
  if (!WriteAll(fd, bytes) || (keep_mode && fchmod(fd, existing.st_mode & 07777) != 0) ||
      fsync(fd) != 0) {
    return fail(errno);
  }
  if (nameless) {
    // The file gets a name only for the moment before the rename.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100 && temporary.empty(); ++attempt) {
      const std::string name = NameBeside(native);
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temporary = name;
      } else if (errno != EEXIST) {
        return fail(0);
      }
    }
    if (temporary.empty()) return fail(EEXIST);
  }
  if (close(fd) != 0) {
    *error_number = errno;
    unlink(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), native.c_str()) != 0) {
    *error_number = errno;
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
  const std::string native = Utf16ToNative(path);
  int error_number = 0;
  if (WriteBeside(native, bytes, true, &error_number)) return;
  if (error_number == 0 && WriteBeside(native, bytes, false, &error_number)) return;
  FailToWrite(path, static_cast<uint32_t>(error_number));
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
