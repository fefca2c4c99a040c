// Listing a folder on Windows: FindFirstFileExW lists the whole folder
// (basic information, large fetches) and the name pattern is matched by the
// caller, as on POSIX. The file system's own matching would also try each
// file's short 8.3 name, so that "*.sql" found "x.sql.bak" (short name
// X~1.SQL). Folders, devices and files marked hidden or system are left out;
// a link counts by what it leads to, and one that leads nowhere is left out.
#include <windows.h>

#include <memory>

#include "platform/folder_listing.h"
#include "platform/long_path.h"
#include "platform/system_error.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

constexpr DWORD kLeftOut = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;

// Whether a link (a reparse point) leads to a file: opening it follows it.
bool LeadsToFile(const std::u16string& path) {
  HANDLE target = CreateFileW(Wide(SystemPath(path)), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool file = GetFileInformationByHandle(target, &info) &&
                    (info.dwFileAttributes & kLeftOut) == 0;
  CloseHandle(target);
  return file;
}

}  // namespace

std::vector<std::u16string> ListFiles(const std::u16string& folder,
                                      const std::function<bool(std::u16string_view)>& wanted) {
  std::vector<std::u16string> names;
  // "C:\*", "\*" (the current drive's root), "*" (the current folder).
  const std::u16string search = SystemPath(folder + u"*");
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(Wide(search), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    const DWORD error = GetLastError();
    const int32_t number = FileErrorNumber(error);
    // An empty root answers "file not found"; a file named as the folder,
    // "path not found" or "invalid name".
    if (number == kErrFileNotFound || number == kErrPathNotFound || error == ERROR_INVALID_NAME) {
      return names;
    }
    throw FileError(error);
  }
  do {
    if ((data.dwFileAttributes & kLeftOut) != 0) continue;
    std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
    if (!wanted(name)) continue;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        !LeadsToFile(folder + name)) {
      continue;
    }
    names.push_back(std::move(name));
  } while (FindNextFileW(find.get(), &data));
  if (const DWORD error = GetLastError(); error != ERROR_NO_MORE_FILES) throw FileError(error);
  return names;
}

}  // namespace corvalen
