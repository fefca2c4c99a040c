// Listing a folder on POSIX: opendir and readdir. Names that start with '.'
// are hidden; a link counts by what it leads to, and one that leads nowhere
// is left out.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/folder_listing.h"
#include "platform/system_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::vector<std::u16string> ListFiles(const std::u16string& folder,
                                      const std::function<bool(std::u16string_view)>& wanted) {
  std::vector<std::u16string> names;
  const std::string native_folder = folder.empty() ? std::string(".") : Utf16ToNative(folder);
  std::unique_ptr<DIR, DirCloser> dir(opendir(native_folder.c_str()));
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return names;
    throw FileError(static_cast<uint32_t>(errno));
  }
  const int dir_fd = dirfd(dir.get());
  for (;;) {
    errno = 0;
    dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) throw FileError(static_cast<uint32_t>(errno));
      break;
    }
    if (entry->d_name[0] == '.') continue;  // hidden, and "." / ".."
    std::u16string name = NativeToUtf16(entry->d_name);
    if (!wanted(name)) continue;
    struct stat info;
    if (fstatat(dir_fd, entry->d_name, &info, 0) != 0) continue;  // dangling link
    if (!S_ISREG(info.st_mode)) continue;
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace corvalen
