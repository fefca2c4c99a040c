// The run report: a JSON document that a program can read, written when the
// run ends, whatever its outcome.
#ifndef CORVALEN_UPDATE_RUN_REPORT_H_
#define CORVALEN_UPDATE_RUN_REPORT_H_

#include <chrono>
#include <string>

#include "update/run_record.h"

namespace corvalen {

struct RunReportInfo {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  std::u16string config_path;
  int exit_code = 0;
};

// The report of the run that `record` tells (a run that never began tells
// no scripts): the program's version, its mode ("run" or "rehearsal", whose
// outcomes OutcomeName names), start and end (UTC, ISO 8601),
// scripts folder and configuration file; per script its file, category,
// entity, outcome, groups sent, duration and, unless it ended OK, why
// ("message"); the failure with its script, piece index, lines, message and
// text, or only the message of what else ended the program early; the exit
// code. Messages reach it already without secrets. Control characters (C0,
// DEL, C1) and the bidirectional overrides and isolates (U+202A to U+202E,
// U+2066 to U+2069) stand in it as JSON escapes, never raw.
std::string RunReportJson(const RunRecord& record, const RunReportInfo& info);

// "2026-12-08T10:15:30Z".
std::string IsoUtc(std::chrono::system_clock::time_point when);

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_RUN_REPORT_H_
