// corvalensql: the window program. It opens the window `Corvalen`, which runs
// the update as soon as it is first shown and ends the program itself.
#include <QApplication>

#include "app/corvalen_window.h"
#include "db/qv_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int code = 0;
  {
    corvalen::Corvalen window(corvalen::QVMainFactory());
    if (window.ended()) return window.exit_code().value_or(0);
    window.show();
    code = QApplication::exec();
  }
  // The window is gone; the application object is destroyed on return, which
  // hands the clipboard over to the desktop's clipboard manager.
  return code;
}
