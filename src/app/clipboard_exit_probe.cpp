// A window program for the X11 clipboard test: it runs the real update in a
// given folder with a given configuration, answers every message box with OK,
// and leaves through the same exit path as corvalensql. After a failed script
// the failing text must still be on the clipboard once the process is gone.
//
//   clipboard_exit_probe SCRIPTS_FOLDER CONFIG_FILE
#include <xcb/xcb.h>

#include <QApplication>
#include <QThread>
#include <chrono>

#include "app/corvalen_window.h"
#include "db/qv_main.h"
#include "platform/utf.h"

namespace {

// True once some client owns the CLIPBOARD_MANAGER selection, waiting up to
// a minute: on a loaded machine the manager may start after the program, and
// Qt hands the clipboard over at exit only if a manager is there.
bool WaitForClipboardManager() {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return false;
  xcb_connection_t* connection = x11->connection();
  const char kName[] = "CLIPBOARD_MANAGER";
  xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr);
  if (atom == nullptr) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  bool owned = false;
  while (!owned && std::chrono::steady_clock::now() < deadline) {
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    owned = owner != nullptr && owner->owner != XCB_NONE;
    free(owner);
    if (!owned) QThread::msleep(100);
  }
  free(atom);
  return owned;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) return 64;
  if (!WaitForClipboardManager()) return 77;
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
