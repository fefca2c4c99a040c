#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/folder_search.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

NumberedError ReadError(int error_number) {
  if (error_number == EACCES || error_number == EPERM) return NumberedError(kErrPathFileAccess);
  if (error_number == ENOMEM) return NumberedError(kErrOutOfMemory);
  return NumberedError(kErrBadFileName,
                       StandardDescription(kErrBadFileName) + u" (" +
                           Utf8ToUtf16(std::strerror(error_number)) + u")");
}

}  // namespace

std::u16string FolderSearch::First(const std::u16string& pattern) {
  names_.clear();
  next_ = 0;

  size_t cut = pattern.rfind(kPathSeparator);
  std::u16string folder = cut == std::u16string::npos ? u"." : pattern.substr(0, cut);
  if (folder.empty()) folder = std::u16string(1, kPathSeparator);  // "/NAME*" searches the root
  std::u16string name_pattern = cut == std::u16string::npos ? pattern : pattern.substr(cut + 1);

  const std::string native_folder = Utf16ToNative(folder);
  std::unique_ptr<DIR, DirCloser> dir(opendir(native_folder.c_str()));
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR) return std::u16string();
    throw ReadError(errno);
  }
  int dir_fd = dirfd(dir.get());
  for (;;) {
    errno = 0;
    dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) throw ReadError(errno);
      break;
    }
    if (entry->d_name[0] == '.') continue;  // hidden, and "." / ".."
    std::u16string name = NativeToUtf16(entry->d_name);
    if (!WildcardMatch(name_pattern, name)) continue;
    struct stat info;
    if (fstatat(dir_fd, entry->d_name, &info, 0) != 0) continue;  // dangling link
    if (!S_ISREG(info.st_mode)) continue;
    names_.push_back(std::move(name));
  }
  std::sort(names_.begin(), names_.end(),
            [](const std::u16string& a, const std::u16string& b) { return NtfsNameLess(a, b); });
  return Next();
}

}  // namespace corvalen
