// corvalensql.exe: the window program on Windows. It opens the window
// `Corvalen`, which runs the update as soon as it is first shown and ends
// the program itself. When the environment variable CORVALENSQL_REPORT names
// a file, the run's JSON report is written there as the program ends.
// The project's headers come before <windows.h>: its MessageBox macro would
// otherwise rename the window interface's member of that name.
#include "app/corvalen_window_windows.h"
#include "db/qv_main.h"
#include "platform/file_write.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "update/exit_codes.h"
#include "update/run_report.h"

#include <chrono>
#include <optional>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef MessageBox

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  using namespace corvalen;
  const auto start = std::chrono::system_clock::now();
  std::optional<std::u16string> report;
  if (EnvironmentHas(u"CORVALENSQL_REPORT")) report = EnvironmentValue(u"CORVALENSQL_REPORT");
  if (report && !CanCreateFileAt(*report)) {
    // Checked before anything runs: a report that cannot be written is a
    // mistake in how the program was started.
    const std::u16string text =
        u"CORVALENSQL_REPORT: no se puede escribir el informe en " + DisplayName(*report);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Application Error",
                MB_OK | MB_ICONERROR);
    return kExitUsage;
  }
  int code = kExitFailure;
  try {
    CorvalenWin32 window(QVMainFactory());
    code = window.ended() ? window.exit_code().value_or(kExitFailure) : window.Run(show_command);
    if (report) {
      RunReportInfo info{start, std::chrono::system_clock::now(), window.module().ConfigPath(), code};
      try {
        WriteFileAtomically(*report, RunReportJson(window.module(), info));
      } catch (const NumberedError&) {
        // Nothing is left to tell it to: the window is gone.
      }
    }
  } catch (const NumberedError& error) {
    // The window could not even be made.
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(error.description().c_str()),
                L"Application Error", MB_OK | MB_ICONERROR);
  }
  // The clipboard keeps its own copy of any text the run left there.
  return code;
}
