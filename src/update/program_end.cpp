#include "update/program_end.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "db/command_watchdog.h"
#include "db/qv_main.h"
#include "platform/file_info.h"
#include "platform/file_write.h"
#include "platform/link_target.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "update/exit_codes.h"
#include "update/run_report.h"

namespace corvalen {
namespace {

// The folder and the bare name of `path`; "." for a name without a folder.
std::pair<std::u16string, std::u16string> FolderAndName(const std::u16string& path) {
  size_t cut = path.find_last_of(u'/');
  if (kPathSeparator != u'/') {
    const size_t other = path.find_last_of(kPathSeparator);
    if (other != std::u16string::npos && (cut == std::u16string::npos || other > cut)) cut = other;
  }
  if (cut == std::u16string::npos) return {u".", path};
  return {cut == 0 ? path.substr(0, 1) : path.substr(0, cut), path.substr(cut + 1)};
}

// Why the report cannot go to `report` because of `database`, a SQLite
// file the configuration names, or empty. SQLite keeps its journal, its
// write-ahead log and its shared memory beside the file its links lead to.
std::u16string DatabaseRefusal(const std::u16string& report, const std::u16string& database) {
  for (const std::u16string& file : {database, FollowLinks(database).path}) {
    if (SameFile(report, file) || SameNameInSameFolder(report, file)) {
      return u"es la base de datos SQLite de una entidad";
    }
    for (const char16_t* suffix : {u"-journal", u"-wal", u"-shm"}) {
      if (SameFile(report, file + suffix) || SameNameInSameFolder(report, file + suffix)) {
        return u"es un archivo auxiliar (-journal, -wal o -shm) de una base de datos SQLite";
      }
    }
  }
  return u"";
}

}  // namespace

ProgramEnd::ProgramEnd(std::optional<std::u16string> report, TellPerson tell)
    : tell_(std::move(tell)), start_(std::chrono::system_clock::now()) {
  if (!report) return;
  LinkTarget target = FollowLinks(*report);
  report_ = std::move(target.path);
  report_trouble_ = target.trouble;
}

ProgramEnd::~ProgramEnd() {
  // The handler refers to this object and to the module.
  if (ends_given_up_batches_) SetStuckBatchHandler(nullptr);
}

std::u16string ProgramEnd::ReportRefusal(const std::u16string& scripts_folder,
                                         const std::u16string& config_path) const {
  if (!report_) return u"";
  switch (report_trouble_) {
    case LinkTrouble::kStream:
      return u"lleva a la entrada o la salida de un proceso (/dev/std*, /dev/fd, /proc/*/fd)";
    case LinkTrouble::kLoop: return u"pasa por demasiados enlaces simbólicos";
    case LinkTrouble::kUnreadable: return u"no se puede seguir hasta el archivo al que lleva";
    case LinkTrouble::kNone: break;
  }
  const std::u16string& path = *report_;
  switch (KindOfFile(path)) {
    case FileKind::kFolder: return u"es una carpeta";
    case FileKind::kOther: return u"no es un archivo normal";
    case FileKind::kUnknown: return u"no se puede comprobar qué es";
    default: break;
  }
  if (SameFile(path, config_path)) return u"es el archivo de configuración";
  if (SameFile(path, ProgramFile())) return u"es el propio programa";
  for (const std::u16string& database : SqliteFilesNamed(config_path)) {
    if (std::u16string refusal = DatabaseRefusal(path, database); !refusal.empty()) return refusal;
  }
  // A file named as a script in the scripts folder is, or would become, one.
  const auto [folder, name] = FolderAndName(path);
  if (IsScriptName(name) && SameFile(folder, scripts_folder)) {
    return u"tiene nombre de script en la carpeta de los scripts";
  }
  if (!CanCreateFileAt(path)) return u"no se puede escribir";
  return u"";
}

int ProgramEnd::Finish(const RunRecord& record, const std::u16string& config_path,
                       int exit_code) {
  // The run is over: no batch is left to give up.
  SetStuckBatchHandler(nullptr);
  ends_given_up_batches_ = false;
  return Write(record, config_path, exit_code, tell_);
}

int ProgramEnd::Write(const RunRecord& record, const std::u16string& config_path, int exit_code,
                      const TellPerson& tell) const {
  if (!report_) return exit_code;
  RunReportInfo info{start_, std::chrono::system_clock::now(), config_path, exit_code};
  try {
    WriteFileAtomically(*report_, RunReportJson(record, info));
    return exit_code;
  } catch (const NumberedError& error) {
    if (tell) tell(u"No se pudo escribir el informe: " + error.description());
    return kExitReportFailed;
  }
}

void ProgramEnd::EndGivenUpBatches(ModMain& module,
                                   std::function<void(const std::u16string&)> tell_now) {
  ends_given_up_batches_ = true;
  SetStuckBatchHandler([this, &module, tell_now](const std::u16string& description) {
    module.RecordGivenUpBatch(description);
    if (tell_now) tell_now(description);
    // A window's own teller belongs to its thread: a report that cannot be
    // written is told the way `tell_now` tells.
    const int code = Write(module.run_record, module.ConfigPath(), kExitScriptFailed, tell_now);
    std::fflush(nullptr);
    // At once: no destructor runs, so nothing is committed; the server rolls
    // the connection's transaction back, SQLite its journal.
    std::_Exit(code);
  });
}

}  // namespace corvalen
