// What the file system holds at a path, and the path arithmetic the program
// does with names it did not list itself (a configuration's relative values).
#ifndef CORVALEN_PLATFORM_FILE_INFO_H_
#define CORVALEN_PLATFORM_FILE_INFO_H_

#include <string>

namespace corvalen {

enum class FileKind {
  kMissing,  // nothing by that name, or a folder on the way is missing
  kFile,     // a regular file (a link to one counts as one)
  kFolder,   // a folder (or a link to one)
  kOther,    // something else: a FIFO, a device, a socket
  kUnknown,  // the system would not say (no permission on the way, a bad name)
};

// What `path` names (a system name as NativeToUtf16 holds it on POSIX,
// platform/utf.h; the UTF-16 name on Windows). Links are followed. Never
// opens anything: a FIFO or a device is looked at, not opened.
FileKind KindOfFile(const std::u16string& path);

// Whether `a` and `b` name the same existing file or folder (through links,
// other spellings, hard links); false when either does not exist or the
// system would not say.
bool SameFile(const std::u16string& a, const std::u16string& b);

// Whether `a` and `b` are the same name in the same folder: their folders
// are one existing folder (by identity, however spelled or linked) and their
// last names are equal as the system compares names (exactly on POSIX,
// without regard to letter case on Windows). Neither file need exist, and
// the names themselves are not followed if they are links.
bool SameNameInSameFolder(const std::u16string& a, const std::u16string& b);

// Whether `path` is relative to the current folder, so that joining it to a
// folder places it there. An empty path is relative. On Windows a path that
// starts with a separator ("\\server\share\x", "\x", "/x") or names a drive
// ("C:\x", "C:x") is not.
bool IsRelativePath(const std::u16string& path);

// The folder part of `path` (std::filesystem's parent_path): "/a/b.ini"
// gives "/a", "b.ini" gives the empty path, "/b.ini" gives "/".
std::u16string ParentFolder(const std::u16string& path);

// `name` placed in `folder` (std::filesystem's operator/): a separator is put
// between them when `folder` does not end with one; an empty folder gives
// `name` as it is.
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_FILE_INFO_H_
