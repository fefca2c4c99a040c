// The parts of the folder search that are the same on every system: the
// pattern split into folder and name pattern, the matching and the order.
// Listing a folder is the platform's (folder_listing.h).
#include "platform/folder_search.h"

#include <algorithm>

#include "platform/folder_listing.h"
#include "platform/path.h"
#include "platform/wide_string.h"

namespace corvalen {

bool WildcardMatch(std::u16string_view pattern, std::u16string_view name) {
  // Iterative matcher with backtracking to the last '*'.
  size_t p = 0, n = 0, star = std::u16string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() &&
               (pattern[p] == u'?' || UpperCaseUnit(pattern[p]) == UpperCaseUnit(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool NtfsNameLess(std::u16string_view a, std::u16string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    // One code unit to one, as the file system's upcase table maps names.
    char16_t x = UpperCaseUnit(a[i]), y = UpperCaseUnit(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  // Equal after upper-casing (possible only where names keep their case):
  // the raw code units decide, so that the order never depends on the folder.
  return a < b;
}

std::u16string FolderSearch::First(const std::u16string& pattern) {
  names_.clear();
  next_ = 0;
  if (pattern.find(u'\0') != std::u16string::npos) return std::u16string();
  // The folder keeps its separator ("/", "C:\\", "dir/"); without one the
  // pattern names files of the current folder. Windows takes '/' as well.
  const size_t cut = pattern.find_last_of(std::u16string{u'/', kPathSeparator});
  const std::u16string folder =
      cut == std::u16string::npos ? std::u16string() : pattern.substr(0, cut + 1);
  const std::u16string name_pattern =
      cut == std::u16string::npos ? pattern : pattern.substr(cut + 1);
  names_ = ListFiles(folder,
                     [&](std::u16string_view name) { return WildcardMatch(name_pattern, name); });
  std::sort(names_.begin(), names_.end(),
            [](const std::u16string& a, const std::u16string& b) { return NtfsNameLess(a, b); });
  return Next();
}

std::u16string FolderSearch::Next() {
  if (next_ >= names_.size()) return std::u16string();
  return names_[next_++];
}

}  // namespace corvalen
