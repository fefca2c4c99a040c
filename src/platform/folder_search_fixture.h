// The folder search tests' helpers: a temporary scripts folder and the names
// a search returns.
#ifndef CORVALEN_PLATFORM_FOLDER_SEARCH_FIXTURE_H_
#define CORVALEN_PLATFORM_FOLDER_SEARCH_FIXTURE_H_

#include <string>
#include <vector>

#include "platform/folder_search.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {

// A scripts folder whose files hold a single byte.
class SearchFolder : public testing::TempFolder {
 public:
  void Touch(const std::string& name) const { Write(name, "x"); }
  std::u16string Pattern(const std::u16string& name_pattern) const {
    return Utf16() + kPathSeparator + name_pattern;
  }
};

// Every name of the search, as the system's bytes.
inline std::vector<std::string> All(FolderSearch& search, const std::u16string& pattern) {
  std::vector<std::string> names;
  for (std::u16string n = search.First(pattern); !n.empty(); n = search.Next()) {
    names.push_back(Utf16ToNative(n));
  }
  return names;
}

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_FOLDER_SEARCH_FIXTURE_H_
