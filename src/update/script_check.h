// What a script will do when it runs, found without touching a database:
// how it is cut and grouped, and the traps in it that its author cannot see.
#ifndef CORVALEN_UPDATE_SCRIPT_CHECK_H_
#define CORVALEN_UPDATE_SCRIPT_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/script_lines.h"

namespace corvalen {

struct Finding {
  int32_t line;  // from 1; 0 when it is about the whole file
  std::u16string text;
};

struct ScriptCheck {
  size_t pieces = 0;
  // One per call the run would make, in order.
  std::vector<GroupLines> groups;
  std::vector<Finding> findings;
};

// Reads and cuts the script at `path` with the run's own code and reports:
// text after the last separator (never runs); a line that starts with GO
// followed by a letter, digit or '_' (still separates); an indented GO (does
// not separate); no separator at all (runs nothing); a file without a
// byte-order mark that is UTF-8 with multi-byte characters (read as
// Windows-1252); a statement that must stand alone in its batch sharing its
// group (CREATE SCHEMA, CREATE RULE, CREATE DEFAULT); a statement that
// commits, rolls back or begins a transaction. A file that cannot be read is
// a finding too. Never raises NumberedError.
ScriptCheck CheckScript(const std::u16string& path);

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_SCRIPT_CHECK_H_
