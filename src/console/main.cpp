// corvalensql-cli: the update run for unattended use, without a desktop.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "console/console_window.h"
#include "db/qv_main.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/exit_codes.h"
#include "update/mod_main.h"
#include "update/procedure.h"

namespace corvalen {
namespace {

// The scripts folder as the window's start-up keeps it: no trailing separator
// except for the root.
std::u16string WithoutTrailingSeparator(std::u16string folder) {
  while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
  return folder;
}

void PrintCatalogue(const ModMain& module) {
  for (int32_t i = 1; i <= module.UpperBound(); ++i) {
    const ScriptSql& entry = module.ListadoSql[static_cast<size_t>(i)];
    std::printf("%d\t%s\t%s\n", i, Utf16ToUtf8(entry.Categoria).c_str(),
                Utf16ToUtf8(EscapeControls(entry.Archivo)).c_str());
  }
}

int Run(int argc, char** argv) {
  CLI::App app("Brings the application's databases up to date by running the SQL update "
               "scripts of a folder, one transaction per script.",
               "corvalensql-cli");
  std::string scripts;
  std::string config;
  bool list_only = false;
  app.add_option("--scripts", scripts, "Folder that holds the scripts (default: the program's folder)");
  app.add_option("--config", config,
                 "Configuration file of the data-access component (default: "
                 "$ProgramFiles/Marvento/quorvexconfig.ini)");
  app.add_flag("--list", list_only, "Print the catalogue of scripts and exit; no database is touched");
  app.set_version_flag("--version", Utf16ToUtf8(VersionTitle()), "Print the program's version and exit");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  // Names as the system gave them, byte for byte, even when not UTF-8.
  const std::u16string scripts_folder = WithoutTrailingSeparator(NativeToUtf16(scripts));
  if (!scripts.empty() && !IsFolder(scripts_folder)) {
    std::fprintf(stderr, "--scripts: %s is not a folder\n",
                 Utf16ToUtf8(EscapeControls(DisplayName(scripts_folder))).c_str());
    return kExitUsage;
  }

  ConsoleWindow window(stdout, stderr, isatty(STDERR_FILENO) != 0);
  ModMain module(window, QVMainFactory());
  module.CarpetaScripts = scripts.empty() ? ProgramFolder() : scripts_folder;
  if (!config.empty()) module.ConfigPathOverride = NativeToUtf16(config);

  try {
    if (list_only) {
      module.ObtenerListadoSql();
      PrintCatalogue(module);
      return kExitCompleted;
    }
    try {
      module.EjecutarActualizaciones(window);
    } catch (const NumberedError& error) {
      // A failure the run's own handler could not handle (its rollback failed).
      window.MessageBox(error.description(), kApplicationErrorTitle, MessageIcon::kExclamation);
      module.ReleaseObjects();
      window.FinishAbruptEnd(EndReason::kFailure);
      return kExitFailure;
    }
    return module.HuboErrores == kTrue ? kExitWithErrors : kExitCompleted;
  } catch (const ProgramEnded& end) {
    // Give up every object first: an open transaction is rolled back, never committed.
    module.ReleaseObjects();
    window.FinishAbruptEnd(end.reason);
    return ExitCodeFor(end.reason, module.HuboErrores == kTrue);
  }
}

}  // namespace
}  // namespace corvalen

int main(int argc, char** argv) { return corvalen::Run(argc, argv); }
