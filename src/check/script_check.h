// What a script will do when it runs, found without touching a database:
// how it is cut and grouped into calls, and what SQL Server will make of
// each call, read as SQL Server reads T-SQL (tsql/tsql_reader.h).
#ifndef CORVALEN_CHECK_SCRIPT_CHECK_H_
#define CORVALEN_CHECK_SCRIPT_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check/findings.h"
#include "tsql/call_refusal.h"
#include "tsql/script_lines.h"
#include "tsql/script_text.h"

namespace corvalen {

struct Finding {
  int32_t line;  // from 1; 0 when it is about the whole file
  FindingLevel level;
  std::u16string text;  // Spanish
};

struct ScriptCheck {
  size_t pieces = 0;
  // One per call the run would make, in order.
  std::vector<GroupLines> groups;
  std::vector<Finding> findings;  // in the order of their lines
};

// Reads and cuts the script at `path` with the run's own code, groups its
// pieces `pieces_per_call` at most to a call (1 to kMaxPiecesPerCall), and
// reports, each at its line, what the rule families find (src/check/: the
// GO lines, the encoding, sqlcmd, and for SQL Server the T-SQL families:
// transactions, what a transaction refuses, declarations, what compiles
// together in a call, session settings). For a PostgreSQL or SQLite entity
// (`rules`) the T-SQL families do not apply; each call the run would refuse
// (RefuseCall, by that database's rules) is an error at its line. A file
// that cannot be read or does not fit in memory is one error; the first
// FoundList::kMaxFindings findings are kept, the rest told as a count.
// Never raises.
ScriptCheck CheckScript(const std::u16string& path, int32_t pieces_per_call = kMaxPiecesPerCall,
                        const TextRules& rules = TextRules());

}  // namespace corvalen

#endif  // CORVALEN_CHECK_SCRIPT_CHECK_H_
