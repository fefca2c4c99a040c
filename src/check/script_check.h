// What a script will do when it runs, found without touching a database:
// how it is cut and grouped into calls, and what SQL Server will make of
// each call, read as SQL Server reads T-SQL (tsql/tsql_reader.h).
#ifndef CORVALEN_CHECK_SCRIPT_CHECK_H_
#define CORVALEN_CHECK_SCRIPT_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tsql/script_lines.h"
#include "tsql/script_text.h"

namespace corvalen {

// An error: the run will fail, or apply something other than what the
// script says. A note: worth knowing, harmless as the script stands.
enum class FindingLevel { kError, kNote };

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
// reports, each at its line:
// errors
// - a file that cannot be read, or that does not fit in memory;
// - no separator at all (nothing runs); text after the last GO other than
//   blanks, comments and ';' (never runs); a line starting with GO and more
//   letters (separates all the same); GO after blanks or on the first line
//   (does not separate); GO n (the count heads the next piece); a GO line
//   inside a string or quoted name, or inside a block comment where a call
//   ends (the run refuses a call that ends inside a comment);
// - sqlcmd directives (:setvar, :r, :on error, !!, ...) and $(name) outside
//   strings and comments;
// - outside routine bodies: COMMIT that ends the script's transaction,
//   ROLLBACK other than to a savepoint (a CATCH block's included); CREATE,
//   ALTER, DROP DATABASE, BACKUP, RESTORE, RECONFIGURE, full-text catalog
//   and index DDL and memory-optimized table DDL, also in EXEC('...'); SET
//   IMPLICIT_TRANSACTIONS OFF; SET NOEXEC ON left on;
// - within a call: a variable or cursor declared twice; a column added by
//   ALTER TABLE ... ADD and used by a later piece naming the table; a RETURN
//   with pieces after it; USE of a database created earlier; CREATE SCHEMA,
//   RULE, DEFAULT, PROCEDURE, FUNCTION, TRIGGER or VIEW that is not the
//   call's first statement; a variable declared only in an earlier call;
// - UTF-8 without a byte-order mark where non-ASCII text stands outside
//   comments (read as Windows-1252), also in a file partly in each;
// notes
// - GO; (the ';' heads the next piece); a GO line inside a block comment
//   within one call; a variable declared in one piece and used in a later
//   one of the same call; SET DATEFORMAT, LANGUAGE, DATEFIRST, XACT_ABORT ON
//   and USE, which stay on the entity's connection for the scripts after.
// Never raises.
ScriptCheck CheckScript(const std::u16string& path, int32_t pieces_per_call = kMaxPiecesPerCall);

}  // namespace corvalen

#endif  // CORVALEN_CHECK_SCRIPT_CHECK_H_
