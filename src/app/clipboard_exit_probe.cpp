// A window program for the X11 clipboard test: it runs the real update in a
// given folder with a given configuration, answers every message box with OK,
// and leaves through the same exit path as corvalensql. After a failed script
// the failing text must still be on the clipboard once the process is gone.
//
//   clipboard_exit_probe SCRIPTS_FOLDER CONFIG_FILE
#include <QApplication>

#include "app/corvalen_window.h"
#include "db/qv_main.h"
#include "platform/utf.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) return 64;
  corvalen::CorvalenOptions options;
  options.scripts_folder = corvalen::Utf8ToUtf16(argv[1]);
  options.config_path = corvalen::Utf8ToUtf16(argv[2]);
  int code = 0;
  {
    corvalen::Corvalen window(corvalen::QVMainFactory(), options);
    window.SetMessageBoxHook([](const corvalen::BoxRequest&) { return true; });
    if (window.ended()) return window.exit_code().value_or(0);
    window.show();
    code = QApplication::exec();
  }
  return code;
}
