// corvalensql: the window program. It opens the window `Corvalen`, which runs
// the update as soon as it is first shown and ends the program itself. When
// the environment variable CORVALENSQL_REPORT names a file, the run's JSON
// report is written there as the program ends.
#include <QApplication>
#include <QMessageBox>
#include <optional>

#include "app/corvalen_window.h"
#include "db/qv_main.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/version_info.h"
#include "update/exit_codes.h"
#include "update/program_end.h"
#include "update/procedure.h"

int main(int argc, char** argv) {
  using namespace corvalen;
  QApplication app(argc, argv);
  std::optional<std::u16string> report;
  if (EnvironmentHas(u"CORVALENSQL_REPORT")) report = EnvironmentValue(u"CORVALENSQL_REPORT");
  // The window is gone when the report is written: its box stands alone.
  ProgramEnd end(report, [](const std::u16string& text) {
    QMessageBox::critical(nullptr, QString::fromStdU16String(VersionTitle()),
                          QString::fromStdU16String(text));
  });
  // Only a completed run gives 0; an end the window did not decide (the
  // event loop left from outside) is a failure, as on Windows.
  int code = kExitFailure;
  {
    Corvalen window(QVMainFactory());
    ModMain& module = window.module();
    // Checked before anything runs: a report that cannot be written, or that
    // would overwrite what the run needs, is a mistake in how the program
    // was started.
    const std::u16string refusal = end.ReportRefusal(module.CarpetaScripts, module.ConfigPath());
    if (!refusal.empty()) {
      QMessageBox::critical(nullptr, QString::fromStdU16String(kApplicationErrorTitle),
                            QString::fromStdU16String(u"CORVALENSQL_REPORT: " +
                                                      DisplayName(*report) + u" " + refusal));
      return kExitUsage;
    }
    end.EndGivenUpBatches(module, nullptr);
    if (!window.ended()) {
      window.show();
      // Closing the last window also asks the event loop to quit, with 0,
      // after the window has set the code it warrants: the window's counts.
      QApplication::exec();
    }
    code = window.exit_code().value_or(kExitFailure);
    code = end.Finish(module.run_record, module.ConfigPath(), code);
  }
  // The window is gone; the application object is destroyed on return, which
  // hands the clipboard over to the desktop's clipboard manager.
  return code;
}
