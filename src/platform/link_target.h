// Where a name leads once the symbolic links on its way are followed, so that
// a file can be replaced where a link points instead of the link itself.
#ifndef CORVALEN_PLATFORM_LINK_TARGET_H_
#define CORVALEN_PLATFORM_LINK_TARGET_H_

#include <string>

namespace corvalen {

enum class LinkTrouble {
  kNone,
  kStream,      // a name on the way is a process's stream or open descriptor
                // (/dev/std*, /dev/fd/*, /proc/*/fd/*): POSIX only
  kLoop,        // more links on the way than the system follows (40)
  kUnreadable,  // the system would not let a name on the way be looked at
};

struct LinkTarget {
  std::u16string path;  // the name at the end, itself no link; may not exist
  LinkTrouble trouble = LinkTrouble::kNone;
};

// Follows every symbolic link on the way of `path` (on Windows also
// junctions), in its folders and at its end, and returns the name it ends
// at, absolute: what a rename to `path` should replace. A missing name
// ends the way (a link may lead to a file not made yet). On trouble, `path`
// is what was reached so far.
LinkTarget FollowLinks(const std::u16string& path);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_LINK_TARGET_H_
