#include "platform/long_path.h"

#include <vector>

namespace corvalen {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

std::u16string SystemPath(std::u16string_view path) {
  if (path.size() < kLongPathFrom) return std::u16string(path);
  std::u16string out;
  size_t rest = 0;  // where the part after the drive or the share begins
  if (IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) {
    out = u"\\\\?\\";
    out += path.substr(0, 2);
    rest = 3;
  } else if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    if (path[2] == u'?' || path[2] == u'.') return std::u16string(path);  // "\\?\", "\\.\"
    // "\\server\share": both names are kept as the root.
    size_t server_end = 2;
    while (server_end < path.size() && !IsSeparator(path[server_end])) ++server_end;
    size_t share_end = server_end + 1;
    while (share_end < path.size() && !IsSeparator(path[share_end])) ++share_end;
    if (server_end == 2 || share_end >= path.size() || share_end == server_end + 1) {
      return std::u16string(path);  // not a whole "\\server\share\"
    }
    out = u"\\\\?\\UNC\\";
    out += path.substr(2, server_end - 2);
    out += u'\\';
    out += path.substr(server_end + 1, share_end - server_end - 1);
    rest = share_end + 1;
  } else {
    return std::u16string(path);  // relative, or rooted on the current drive
  }
  std::vector<std::u16string_view> names;
  for (size_t start = rest; start <= path.size();) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const std::u16string_view name = path.substr(start, end - start);
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != u".") {
      names.push_back(name);
    }
    start = end + 1;
  }
  for (std::u16string_view name : names) {
    out += u'\\';
    out += name;
  }
  // A folder's trailing separator is kept ("C:\dir\" names the folder).
  if (IsSeparator(path.back()) && !names.empty()) out += u'\\';
  if (names.empty()) out += u'\\';
  return out;
}

}  // namespace corvalen
