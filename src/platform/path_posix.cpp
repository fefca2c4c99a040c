#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/utf.h"

namespace corvalen {

const char16_t kPathSeparator = u'/';

std::u16string ProgramFolder() {
  std::vector<char> buffer(PATH_MAX + 1);
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) == buffer.size()) return std::u16string();  // or cut short
  std::string path(buffer.data(), static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::u16string();
  if (slash == 0) return u"/";
  return NativeToUtf16(path.substr(0, slash));
}

std::u16string ProgramFile() { return u"/proc/self/exe"; }

std::u16string EnvironmentValue(const std::u16string& name) {
  const char* value = std::getenv(Utf16ToNative(name).c_str());
  return value ? NativeToUtf16(value) : std::u16string();
}

bool EnvironmentHas(const std::u16string& name) {
  return std::getenv(Utf16ToNative(name).c_str()) != nullptr;
}

std::u16string ProgramFilesFolder() { return EnvironmentValue(u"ProgramFiles"); }

bool IsFolder(const std::u16string& path) {
  struct stat info;
  return !path.empty() && stat(Utf16ToNative(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace corvalen
