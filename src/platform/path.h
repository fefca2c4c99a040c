// Paths and the process environment.
#ifndef CORVALEN_PLATFORM_PATH_H_
#define CORVALEN_PLATFORM_PATH_H_

#include <string>

namespace corvalen {

// The separator put between a folder and a name: '/' on POSIX, '\' on Windows.
extern const char16_t kPathSeparator;

// The folder that holds the running executable, without a trailing separator
// (only a root keeps its separator: "/", "C:\\"), as NativeToUtf16
// (platform/utf.h) holds system names on POSIX. Empty when it cannot be found.
std::u16string ProgramFolder();

// A name of the running executable's file, for SameFile (on Linux
// /proc/self/exe, which leads to it even when it was renamed). Empty when it
// cannot be found.
std::u16string ProgramFile();

// The value of an environment variable; an unset variable reads as empty.
// Windows holds it in UTF-16 already. On POSIX it is decoded as NativeToUtf16
// decodes names, so that a path kept in a variable
// reaches the system byte for byte through Utf16ToNative; valid UTF-8 reads as
// Utf8ToUtf16 reads it, and Utf16ToUtf8 still turns each byte that was not
// UTF-8 into U+FFFD.
std::u16string EnvironmentValue(const std::u16string& name);
// Whether an environment variable is set (even to the empty string).
bool EnvironmentHas(const std::u16string& name);

// The folder of installed programs where the configuration of existing
// installations lives, as the original 32-bit program saw it: on POSIX the
// variable ProgramFiles; on Windows ProgramFiles(x86) where that variable is
// set (64-bit Windows, whose ProgramFiles names the 64-bit folder), otherwise
// ProgramFiles. An unset variable reads as empty.
std::u16string ProgramFilesFolder();

// Whether `path` names an existing folder (or a link to one).
bool IsFolder(const std::u16string& path);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_PATH_H_
