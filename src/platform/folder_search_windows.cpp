// The folder search on Windows: FindFirstFileExW lists the whole folder
// (basic information, large fetches) and the name pattern is matched here,
// as on POSIX. The file system's own matching would also try each file's
// short 8.3 name, so that "*.sql" found "x.sql.bak" (short name X~1.SQL).
// Folders, devices and files marked hidden or system are left out; a link
// counts by what it leads to, and one that leads nowhere is left out.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/folder_search.h"
#include "platform/long_path.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

constexpr DWORD kLeftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

NumberedError ReadError(DWORD error) {
  if (error == ERROR_ACCESS_DENIED) return NumberedError(kErrPathFileAccess);
  if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) {
    return NumberedError(kErrOutOfMemory);
  }
  return NumberedError(kErrBadFileName, StandardDescription(kErrBadFileName) +
                                            u" (system error " + ToDecimal(error) + u")");
}

// Whether a link (a reparse point) leads to a file: opening it follows it.
bool LeadsToFile(const std::u16string& path) {
  const std::u16string name = SystemPath(path);
  HANDLE target = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool file = GetFileInformationByHandle(target, &info) &&
                    (info.dwFileAttributes & kLeftOut) == 0;
  CloseHandle(target);
  return file;
}

}  // namespace

std::u16string FolderSearch::First(const std::u16string& pattern) {
  names_.clear();
  next_ = 0;
  if (pattern.find(u'\0') != std::u16string::npos) return std::u16string();

  // The folder keeps its separator: "C:\*", "\*" (the current drive's root),
  // "*" (the current folder).
  const size_t cut = pattern.find_last_of(u"\\/");
  const std::u16string folder =
      cut == std::u16string::npos ? std::u16string() : pattern.substr(0, cut + 1);
  const std::u16string name_pattern =
      cut == std::u16string::npos ? pattern : pattern.substr(cut + 1);

  const std::u16string search = SystemPath(folder + u"*");
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(reinterpret_cast<const wchar_t*>(search.c_str()),
                                   FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    const DWORD error = GetLastError();
    switch (error) {
      case ERROR_FILE_NOT_FOUND:  // an empty root
      case ERROR_PATH_NOT_FOUND:
      case ERROR_DIRECTORY:       // a file, not a folder
      case ERROR_INVALID_NAME:
      case ERROR_INVALID_DRIVE:
      case ERROR_BAD_NETPATH:
      case ERROR_BAD_NET_NAME:
        return std::u16string();
      default:
        throw ReadError(error);
    }
  }
  do {
    if ((data.dwFileAttributes & kLeftOut) != 0) continue;
    std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
    if (!WildcardMatch(name_pattern, name)) continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        !LeadsToFile(folder + name)) {
      continue;
    }
    names_.push_back(std::move(name));
  } while (FindNextFileW(find.get(), &data));
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) throw ReadError(error);
  std::sort(names_.begin(), names_.end(),
            [](const std::u16string& a, const std::u16string& b) { return NtfsNameLess(a, b); });
  return Next();
}

}  // namespace corvalen
