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
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::u16string();
  std::string path(buffer.data(), static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::u16string();
  if (slash == 0) return u"/";
  return Utf8ToUtf16(path.substr(0, slash));
}

std::u16string EnvironmentValue(const std::u16string& name) {
  const char* value = std::getenv(Utf16ToUtf8(name).c_str());
  return value ? Utf8ToUtf16(value) : std::u16string();
}

bool EnvironmentHas(const std::u16string& name) {
  return std::getenv(Utf16ToUtf8(name).c_str()) != nullptr;
}

}  // namespace corvalen
