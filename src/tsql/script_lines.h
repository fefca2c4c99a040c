// Where the pieces and groups of a script stand in its file, in lines.
#ifndef CORVALEN_TSQL_SCRIPT_LINES_H_
#define CORVALEN_TSQL_SCRIPT_LINES_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tsql/script_text.h"

namespace corvalen {

// Line numbers of positions in a script text as ReadScriptText builds it.
// There every line end of the file (CR LF, CR or LF) holds exactly one LF,
// so the line of a position, counted from 1 as an editor counts the file's
// lines, is one more than the LFs before it.
class LineCounter {
 public:
  explicit LineCounter(std::u16string_view text) : text_(text) {}
  // The line of `position`; positions asked for in ascending order cost time
  // in proportion to the distance covered (earlier ones start over).
  int32_t LineAt(size_t position);

 private:
  std::u16string_view text_;
  size_t position_ = 0;
  int32_t line_ = 1;
};

// A group's place in the file.
struct GroupLines {
  // The line on which the group's text starts: the text the database gets
  // starts there, so the database's line k is the file's start + k - 1.
  int32_t start = 1;
  // The first and last lines that hold anything but blanks; the start line
  // for a group of blanks only.
  int32_t first = 1;
  int32_t last = 1;
};

// The lines of each group, in the order of `groups`.
std::vector<GroupLines> LinesOfGroups(std::u16string_view text,
                                      const std::vector<std::u16string_view>& pieces,
                                      const std::vector<PieceGroup>& groups);

}  // namespace corvalen

#endif  // CORVALEN_TSQL_SCRIPT_LINES_H_
