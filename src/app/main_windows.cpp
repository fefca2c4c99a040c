// corvalensql.exe: the window program on Windows. It opens the window
// `Corvalen`, which runs the update as soon as it is first shown and ends
// the program itself. When the environment variable CORVALENSQL_REPORT names
// a file, the run's JSON report is written there as the program ends.
// The project's headers come before <windows.h>: its MessageBox macro would
// otherwise rename the window interface's member of that name.
#include "app/corvalen_window_windows.h"
#include "db/qv_main.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/exit_codes.h"
#include "update/program_end.h"
#include "update/procedure.h"

#include <optional>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox

namespace {

void ShowBox(const std::u16string& text, const std::u16string& title) {
  MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(title.c_str()), MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  using namespace corvalen;
  std::optional<std::u16string> report;
  if (EnvironmentHas(u"CORVALENSQL_REPORT")) report = EnvironmentValue(u"CORVALENSQL_REPORT");
  // The window is gone when the report is written: its box stands alone.
  ProgramEnd end(report, [](const std::u16string& text) { ShowBox(text, VersionTitle()); });
  int code = kExitFailure;
  try {
    CorvalenWin32 window(QVMainFactory());
    ModMain& module = window.module();
    // Checked before anything runs: a report that cannot be written, or that
    // would overwrite what the run needs, is a mistake in how the program
    // was started.
    const std::u16string refusal = end.ReportRefusal(module.CarpetaScripts, module.ConfigPath());
    if (!refusal.empty()) {
      ShowBox(u"CORVALENSQL_REPORT: " + DisplayName(*report) + u" " + refusal,
              kApplicationErrorTitle);
      return kExitUsage;
    }
    end.EndGivenUpBatches(module, nullptr);
    code = window.ended() ? window.exit_code().value_or(kExitFailure) : window.Run(show_command);
    code = end.Finish(module.run_record, module.ConfigPath(), code);
  } catch (const NumberedError& error) {
    // The window could not even be made.
    ShowBox(error.description(), kApplicationErrorTitle);
  }
  // The clipboard keeps its own copy of any text the run left there.
  return code;
}
