// The process environment (what GetEnvironmentVariableW reads and child
// processes inherit) and the C runtime's copy (what getenv reads), both.
#include <windows.h>

#include <stdlib.h>

#include "tests/fakes/environment.h"

namespace corvalen::testing {
namespace {

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size(), L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                    out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

}  // namespace

void SetVariable(const std::string& name, const std::string& value) {
  // _wputenv_s removes a variable set to the empty string; the process
  // environment keeps it, which is what the program reads.
  _wputenv_s(Wide(name).c_str(), Wide(value).c_str());
  SetEnvironmentVariableW(Wide(name).c_str(), Wide(value).c_str());
}

void UnsetVariable(const std::string& name) {
  _wputenv_s(Wide(name).c_str(), L"");
  SetEnvironmentVariableW(Wide(name).c_str(), nullptr);
}

}  // namespace corvalen::testing
