// The part of the folder search that each system does its own way
// (folder_search_posix.cpp, folder_search_windows.cpp); FolderSearch
// (folder_search.h) splits the pattern, matches the names and orders them.
#ifndef CORVALEN_PLATFORM_FOLDER_LISTING_H_
#define CORVALEN_PLATFORM_FOLDER_LISTING_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// The names of the ordinary visible files directly in `folder` (empty: the
// current folder; otherwise it ends with its separator) that `wanted`
// accepts, in no particular order; what counts as such a file is
// FolderSearch::First's. A folder that does not exist lists nothing. Raises
// NumberedError when the folder cannot be read.
std::vector<std::u16string> ListFiles(const std::u16string& folder,
                                      const std::function<bool(std::u16string_view)>& wanted);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_FOLDER_LISTING_H_
