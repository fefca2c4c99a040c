// corvalensql: the window program. It opens the window `Corvalen`, which runs
// the update as soon as it is first shown and ends the program itself. When
// the environment variable CORVALENSQL_REPORT names a file, the run's JSON
// report is written there as the program ends.
#include <QApplication>
#include <QMessageBox>
#include <chrono>
#include <optional>

#include "app/corvalen_window.h"
#include "db/qv_main.h"
#include "platform/file_write.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "update/exit_codes.h"
#include "update/run_report.h"

int main(int argc, char** argv) {
  using namespace corvalen;
  QApplication app(argc, argv);
  const auto start = std::chrono::system_clock::now();
  std::optional<std::u16string> report;
  if (EnvironmentHas(u"CORVALENSQL_REPORT")) report = EnvironmentValue(u"CORVALENSQL_REPORT");
  if (report && !CanCreateFileAt(*report)) {
    // Checked before anything runs: a report that cannot be written is a
    // mistake in how the program was started.
    QMessageBox::critical(nullptr, QStringLiteral("Application Error"),
                          QStringLiteral("CORVALENSQL_REPORT: no se puede escribir el informe en ") +
                              QString::fromStdU16String(DisplayName(*report)));
    return kExitUsage;
  }
  int code = kExitFailure;
  {
    Corvalen window(QVMainFactory());
    if (!window.ended()) {
      window.show();
      QApplication::exec();
    }
    // The window's own code: closing the last window also asks the event
    // loop to quit, with 0, after the window has set the code it warrants.
    // An event loop left otherwise never counts as success.
    code = window.exit_code().value_or(kExitFailure);
    if (report) {
      RunReportInfo info{start, std::chrono::system_clock::now(), window.module().ConfigPath(), code};
      try {
        WriteFileAtomically(*report, RunReportJson(window.module(), info));
      } catch (const NumberedError&) {
        // Nothing is left to tell it to: the window is gone.
      }
    }
  }
  // The window is gone; the application object is destroyed on return, which
  // hands the clipboard over to the desktop's clipboard manager.
  return code;
}
