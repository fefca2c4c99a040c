// How both programs, the window and the console one, end: the run report
// when one was asked for, and the exit code.
#ifndef CORVALEN_UPDATE_PROGRAM_END_H_
#define CORVALEN_UPDATE_PROGRAM_END_H_

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/link_target.h"
#include "update/mod_main.h"
#include "update/run_record.h"

namespace corvalen {

// Shows a person a Spanish text about the end of the program: the console
// writes it to standard error, a window shows it in a box.
using TellPerson = std::function<void(const std::u16string& text)>;

class ProgramEnd {
 public:
  // `report`: the file the JSON report goes to, or none. The run's start
  // is now, and now is when the links on the report's way are followed
  // (platform/link_target.h): the report is checked and written at the name
  // they end at, so that a link stays a link.
  ProgramEnd(std::optional<std::u16string> report, TellPerson tell);
  ProgramEnd(const ProgramEnd&) = delete;
  ProgramEnd& operator=(const ProgramEnd&) = delete;
  // Takes back the handler of EndGivenUpBatches, if Finish has not.
  ~ProgramEnd();

  // Before anything runs: why the report cannot go to its file, as a
  // Spanish phrase about the file ("es una carpeta"), or empty. Refused: a
  // process's stream or open descriptor anywhere on the way, a way of links
  // that cannot be followed, a folder or anything else that is not a
  // regular file (or that the system will not say what it is), the configuration file `config_path`, the running program,
  // a SQLite database that any section of the configuration names and its
  // companion files (-journal, -wal, -shm: by folder and name, made or not),
  // a file in `scripts_folder` named as a script of the catalogue, and a
  // place where no file can be made.
  std::u16string ReportRefusal(const std::u16string& scripts_folder,
                               const std::u16string& config_path) const;

  // Writes the report of `record` (with `config_path` and `exit_code`) when
  // one was asked for, and returns the program's exit code: `exit_code`, or
  // kExitReportFailed once it has told why the report could not be written.
  // From then on a given-up batch no longer ends the program here.
  int Finish(const RunRecord& record, const std::u16string& config_path, int exit_code);

  // From now on a batch given up by its watchdog (db/command_watchdog.h)
  // ends the program here, from the watchdog's thread: `module` records the
  // failure, `tell_now` (which must be callable from any thread; may be
  // empty) shows it, the report is written, and the process ends at once
  // with kExitScriptFailed (or kExitReportFailed), committing nothing.
  void EndGivenUpBatches(ModMain& module, std::function<void(const std::u16string&)> tell_now);

 private:
  int Write(const RunRecord& record, const std::u16string& config_path, int exit_code,
            const TellPerson& tell) const;

  std::optional<std::u16string> report_;  // where the links lead
  LinkTrouble report_trouble_ = LinkTrouble::kNone;
  TellPerson tell_;
  std::chrono::system_clock::time_point start_;
  bool ends_given_up_batches_ = false;
};

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_PROGRAM_END_H_
