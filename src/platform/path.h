// Paths and the process environment.
#ifndef CORVALEN_PLATFORM_PATH_H_
#define CORVALEN_PLATFORM_PATH_H_

#include <string>

namespace corvalen {

// The separator put between a folder and a name: '/' on POSIX, '\' on Windows.
extern const char16_t kPathSeparator;

// The folder that holds the running executable, without a trailing separator
// (only the root keeps its separator). Empty when it cannot be found.
std::u16string ProgramFolder();

// The value of an environment variable; an unset variable reads as empty.
std::u16string EnvironmentValue(const std::u16string& name);
// Whether an environment variable is set (even to the empty string).
bool EnvironmentHas(const std::u16string& name);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_PATH_H_
