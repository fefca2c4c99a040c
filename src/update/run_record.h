// What happened in a run, kept for the console's failure location and for
// the run report: each script's outcome, the groups it sent and its time,
// and the failure that ended the run, if one did.
#ifndef CORVALEN_UPDATE_RUN_RECORD_H_
#define CORVALEN_UPDATE_RUN_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tsql/script_lines.h"

namespace corvalen {

enum class ScriptOutcome {
  kNotRun,   // the run ended before the script was reached
  kOk,       // the script ran and was committed
  kError,    // its entity could not be connected when the script was reached
  kFailed,   // the script failed and was rolled back
  kSkipped,  // its entity had already failed to connect: not run
};

// "ok", "error", "failed", "skipped" or "not-run".
std::string_view OutcomeName(ScriptOutcome outcome);

struct ScriptRecord {
  std::u16string file;      // the bare file name
  std::u16string category;  // also the entity
  ScriptOutcome outcome = ScriptOutcome::kNotRun;
  // Why a script did not end OK (the failure, the connection's failure, the
  // end of the program before it); empty for one that did.
  std::u16string message;
  // Whether part of a failed script may have stayed applied: the
  // transaction the run began ended inside it, or its commit is in doubt.
  bool partly_applied = false;
  int32_t groups_sent = 0;  // calls made to the database, a failing one included
  int64_t duration_ms = 0;
};

// The group a script failed in.
struct FailedGroup {
  size_t first_piece = 0;
  size_t last_piece = 0;
  GroupLines lines;
  // The file's line that the database's message names, when it names a
  // line of the batch.
  std::optional<int32_t> file_line;
};

struct FailureRecord {
  std::u16string script;  // the script's path
  int32_t piece_index = 0;  // as the failure message shows it
  std::u16string message;   // the description, without secrets
  std::u16string text;      // the failing group's text ("" before the first group)
  std::optional<FailedGroup> group;  // absent for a failure before the first group
};

struct RunRecord {
  std::u16string scripts_folder;
  // One record per catalogue entry: scripts[k] is entry k + 1.
  std::vector<ScriptRecord> scripts;
  std::optional<FailureRecord> failure;
  // Why the program ended before the run was over, other than a failed
  // script (the tag "ACCESS", a failure the run reported); the cause of
  // every script it did not reach.
  std::u16string end_cause;

  // The record of the entry on list line `line`, or null.
  ScriptRecord* AtLine(int32_t line);
};

// The line of the batch that a database's message names, if any: the
// driver's own line field first (", Line 3" ending a record's text, as the
// ODBC connection writes it); otherwise a line the text names ("LINE 3:",
// "Line 3", "línea 3") when it lies within the batch's `batch_lines` lines,
// for such words may also stand in the data a message quotes.
std::optional<int32_t> BatchLineInMessage(std::u16string_view message, int32_t batch_lines);

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_RUN_RECORD_H_
