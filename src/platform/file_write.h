// Writing a whole file so that a reader never sees half of it.
#ifndef CORVALEN_PLATFORM_FILE_WRITE_H_
#define CORVALEN_PLATFORM_FILE_WRITE_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corvalen {

// Writes `bytes` to a new file beside `path` and renames it to `path`, which
// it replaces: `path` holds either what it held before or all of `bytes`.
// A file that was there keeps its mode (on Windows its attributes and
// permissions); a new one gets what any new file gets (on POSIX, what the
// umask leaves of 0666). So that a process killed while it writes leaves
// nothing beside `path`, the new file has no name until it is complete where
// the system allows it (Linux's O_TMPFILE), and on Windows it is marked to go
// when its handle closes until then; failing, it removes what it made.
// Raises NumberedError (75 with the system's reason) when it cannot.
void WriteFileAtomically(const std::u16string& path, std::string_view bytes);

// Raises the error WriteFileAtomically raises for `path` when the system
// answered `code` (errno, GetLastError()).
[[noreturn]] void FailToWrite(const std::u16string& path, uint32_t code);

// Whether a file could be created at `path`: its folder exists and takes new
// files. Checked by creating and removing a file beside it; `path` itself is
// not touched.
bool CanCreateFileAt(const std::u16string& path);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_FILE_WRITE_H_
