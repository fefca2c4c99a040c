// Paths and the process environment.
#ifndef CORVALEN_PLATFORM_PATH_H_
#define CORVALEN_PLATFORM_PATH_H_

#include <string>

namespace corvalen {

// The separator put between a folder and a name: '/' on POSIX, '\' on Windows.
extern const char16_t kPathSeparator;

// The folder that holds the running executable, without a trailing separator
// (only the root keeps its separator), as NativeToUtf16 (platform/utf.h)
// holds system names. Empty when it cannot be found.
std::u16string ProgramFolder();

// The value of an environment variable; an unset variable reads as empty.
// Decoded as NativeToUtf16 decodes names, so that a path kept in a variable
// reaches the system byte for byte through Utf16ToNative; valid UTF-8 reads as
// Utf8ToUtf16 reads it, and Utf16ToUtf8 still turns each byte that was not
// UTF-8 into U+FFFD.
std::u16string EnvironmentValue(const std::u16string& name);
// Whether an environment variable is set (even to the empty string).
bool EnvironmentHas(const std::u16string& name);

// Whether `path` names an existing folder (or a link to one).
bool IsFolder(const std::u16string& path);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_PATH_H_
