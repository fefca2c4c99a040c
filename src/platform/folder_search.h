// Wildcard search of one folder for ordinary files, one search at a time, in
// the order an NTFS folder lists names.
#ifndef CORVALEN_PLATFORM_FOLDER_SEARCH_H_
#define CORVALEN_PLATFORM_FOLDER_SEARCH_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// Whether `name` matches the wildcard `pattern`: '*' stands for any run of
// characters (the empty run included), '?' for one character; letter case is
// ignored.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

// Orders names as NTFS lists them: code unit by code unit after conversion to
// upper case (an ordinal comparison, not a numeric or locale-aware one).
// Names equal after that conversion, which only a case-sensitive file system
// can hold together (NCM_a.sql and NCM_A.sql), are ordered on their raw code
// units, so the order is total: the same names always come in the same order.
bool NtfsNameLess(std::u16string_view a, std::u16string_view b);

class FolderSearch {
 public:
  FolderSearch() = default;
  FolderSearch(const FolderSearch&) = delete;
  FolderSearch& operator=(const FolderSearch&) = delete;

  // Starts a new search. `pattern` is a folder, the platform's separator and
  // a name pattern. Only ordinary visible files directly in the folder match
  // (no folders, devices, sockets, hidden files or subfolders' content): on
  // POSIX a name that starts with '.' is hidden, on Windows a file marked
  // hidden or system is.
  // Returns the first name, without the folder, or empty when nothing
  // matches; a folder that does not exist matches nothing. Raises
  // NumberedError when the folder cannot be read. The folder and the names
  // are system names as NativeToUtf16 holds them on POSIX (platform/utf.h): a
  // name that is not valid UTF-8 comes back so that it opens the very file
  // listed. On Windows they are the system's UTF-16 names.
  std::u16string First(const std::u16string& pattern);
  // The next name of the same search, or empty when there are no more.
  std::u16string Next();

 private:
  std::vector<std::u16string> names_;
  size_t next_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_FOLDER_SEARCH_H_
