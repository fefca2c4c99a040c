// Exit codes of the two programs, the window and the console one.
#ifndef CORVALEN_UPDATE_EXIT_CODES_H_
#define CORVALEN_UPDATE_EXIT_CODES_H_

#include "update/run_window.h"

namespace corvalen {

inline constexpr int kExitCompleted = 0;     // the run completed
inline constexpr int kExitWithErrors = 1;    // an entity could not be connected
inline constexpr int kExitScriptFailed = 2;  // a script failed and was rolled back
inline constexpr int kExitAccessTag = 3;     // the data-access component reported "ACCESS"
inline constexpr int kExitFailure = 4;       // another reported failure ended the run
inline constexpr int kExitFindings = 5;      // --check found something to look at
inline constexpr int kExitReportFailed = 6;  // the run's report could not be written
inline constexpr int kExitUsage = 64;        // bad command line (console program)

// The exit code for the way the program ended. Esc ends only a run that
// finished with errors, so it gives 1 then and 0 otherwise. A window closed
// by hand never follows a completed run (that one ends the program itself):
// it gives 1 after a run with errors and 4 otherwise (a failure was
// reported, or the run never got going).
inline int ExitCodeFor(EndReason reason, bool hubo_errores) {
  switch (reason) {
    case EndReason::kCompleted: return kExitCompleted;
    case EndReason::kEscape: return hubo_errores ? kExitWithErrors : kExitCompleted;
    case EndReason::kScriptFailed: return kExitScriptFailed;
    case EndReason::kAccessTag: return kExitAccessTag;
    case EndReason::kFailure: return kExitFailure;
    case EndReason::kClosed: return hubo_errores ? kExitWithErrors : kExitFailure;
  }
  return kExitFailure;
}

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_EXIT_CODES_H_
