// The run report: a JSON document that a program can read, written when the
// run ends, whatever its outcome.
#ifndef CORVALEN_UPDATE_RUN_REPORT_H_
#define CORVALEN_UPDATE_RUN_REPORT_H_

#include <chrono>
#include <string>

#include "update/mod_main.h"

namespace corvalen {

struct RunReportInfo {
  std::chrono::system_clock::time_point start;
  std::chrono::system_clock::time_point end;
  std::u16string config_path;
  int exit_code = 0;
};

// The report of the run that `module` made (or began): the program's
// version, start and end (UTC, ISO 8601), scripts folder and configuration
// file; per script its file, category, entity, outcome, groups sent and
// duration; the failure with its script, piece index, lines, message and
// text; the exit code. Messages reach it already without secrets.
std::string RunReportJson(const ModMain& module, const RunReportInfo& info);

// "2026-12-08T10:15:30Z".
std::string IsoUtc(std::chrono::system_clock::time_point when);

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_RUN_REPORT_H_
