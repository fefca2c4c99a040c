// Paths and the environment on Windows, through the wide Win32 functions:
// the program's strings are UTF-16 already and go to the system as they are.
#include <windows.h>

#include <string>

#include "platform/path.h"
#include "platform/long_path.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

bool HasNul(const std::u16string& s) { return s.find(u'\0') != std::u16string::npos; }

}  // namespace

const char16_t kPathSeparator = u'\\';

std::u16string ProgramFile() {
  // GetModuleFileNameW cuts a path longer than the buffer short and fills it
  // exactly: the buffer grows until the path fits (at most 32767 units).
  std::u16string path(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, Wide(path.data()),
                                       static_cast<DWORD>(path.size()));
    if (n == 0) return std::u16string();
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() > 0x8000) return std::u16string();
    path.resize(path.size() * 2);
  }
  return path;
}

std::u16string ProgramFolder() {
  const std::u16string path = ProgramFile();
  const size_t cut = path.find_last_of(u"\\/");
  if (cut == std::u16string::npos) return std::u16string();
  // A drive's root ("C:\", "\\?\C:\") keeps its separator.
  if (cut > 0 && path[cut - 1] == u':') return path.substr(0, cut + 1);
  return path.substr(0, cut);
}

std::u16string EnvironmentValue(const std::u16string& name) {
  if (name.empty() || HasNul(name)) return std::u16string();
  std::u16string value;
  DWORD size = 0;
  for (;;) {
    // Asked with too small a buffer, the call answers the size it needs
    // (with the NUL); the value may change in between, hence the loop.
    const DWORD n = GetEnvironmentVariableW(
        Wide(name), size == 0 ? nullptr : Wide(value.data()), size);
    if (n == 0) return std::u16string();  // unset, or set to the empty string
    if (n < size) {
      value.resize(n);
      return value;
    }
    size = n;
    value.assign(size, u'\0');
  }
}

bool EnvironmentHas(const std::u16string& name) {
  if (name.empty() || HasNul(name)) return false;
  SetLastError(ERROR_SUCCESS);
  wchar_t probe[1];
  return GetEnvironmentVariableW(Wide(name), probe, 1) != 0 ||
         GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

std::u16string ProgramFilesFolder() {
  // A 64-bit process sees the 64-bit folder in ProgramFiles; the 32-bit
  // folder, where 32-bit programs (and their configuration) live, is in
  // ProgramFiles(x86), which only 64-bit Windows sets.
  if (EnvironmentHas(u"ProgramFiles(x86)")) return EnvironmentValue(u"ProgramFiles(x86)");
  return EnvironmentValue(u"ProgramFiles");
}

bool IsFolder(const std::u16string& path) {
  if (path.empty() || HasNul(path)) return false;
  const DWORD attributes = GetFileAttributesW(Wide(SystemPath(path)));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace corvalen
