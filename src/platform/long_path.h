// Windows paths beyond the classic limit of 260 characters. The wide Win32
// file functions take longer paths in the extended form "\\?\C:\..." (or
// "\\?\UNC\server\share\..."), which the system takes as it is written: no
// '/' for '\', no "." or ".." resolved. Plain string work, so that it is
// tested on every system; the Windows variants of the platform files pass
// every path they give the system through it.
#ifndef CORVALEN_PLATFORM_LONG_PATH_H_
#define CORVALEN_PLATFORM_LONG_PATH_H_

#include <string>
#include <string_view>

namespace corvalen {

// Shorter paths than this go to the system as they are (248: the limit of
// a folder's path, which must leave room for an 8.3 name).
inline constexpr size_t kLongPathFrom = 248;

// `path` as the Win32 file functions take it: an absolute drive path
// ("C:\..." or "C:/...") or UNC path ("\\server\share\...", "//server/...")
// of kLongPathFrom units or more in the extended form, with '/' turned into
// '\', repeated separators joined, and "." and ".." resolved (".." never
// climbs above the drive or the share). Every other path is returned as it
// is: a short one, one already in the extended or device form ("\\?\",
// "\\.\"), and a relative one ("a\b", "C:a", "\a", "/a").
std::u16string SystemPath(std::u16string_view path);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_LONG_PATH_H_
