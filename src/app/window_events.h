// What the window does on its events, whatever the toolkit: Load (scripts
// folder, empty catalogue, version, one pass of events), Activate (the update
// run, started once), Esc on key-up once the run has finished, and the end of
// the program with the exit code its outcome warrants. Load and Activate
// report a failure in an "Application Error" box and go on with the next
// statement. The Qt and the Win32 window each own one and pass it their
// events.
#ifndef CORVALEN_APP_WINDOW_EVENTS_H_
#define CORVALEN_APP_WINDOW_EVENTS_H_

#include <functional>
#include <optional>

#include "app/window_options.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/run_window.h"

namespace corvalen {

class WindowEvents {
 public:
  // `window` shows the boxes and passes events; `quit` leaves the toolkit's
  // event loop with an exit code.
  WindowEvents(ModMain& module, RunWindow& window, const CorvalenOptions& options,
               std::function<void(int exit_code)> quit);
  WindowEvents(const WindowEvents&) = delete;
  WindowEvents& operator=(const WindowEvents&) = delete;

  // The Load handling; `show_version` puts the version label up.
  void Load(const std::function<void()>& show_version);
  // The Activate handling, unless it has started already or the program has
  // ended; call it on the first activation or the first idle moment after
  // the window is shown, whichever comes first.
  void Activate();
  // Esc was released: ends the program once the run has finished. Inside the
  // run, the end waits for the current pass of events to return.
  void EscapeReleased();
  // Call after each pass of events inside the run: ends the program (throws
  // ProgramEnded) when Esc asked for it meanwhile.
  void AfterEvents();
  // Ends the program: releases the module's objects (rolling back) and
  // leaves the event loop with the reason's exit code. Only the first call
  // counts.
  void End(EndReason reason);
  // The window was asked to close: refused (false) while the run is going
  // on; otherwise the program ends with the code its outcome warrants.
  bool CloseRequested();

  bool activated() const { return activated_; }
  bool running() const { return running_; }
  bool ended() const { return ended_; }
  std::optional<int> exit_code() const { return exit_code_; }

 private:
  void ShowErrorBox(const Procedure& proc, const NumberedError& error);

  ModMain& module_;
  RunWindow& window_;
  const CorvalenOptions& options_;
  std::function<void(int)> quit_;
  bool activated_ = false;
  bool running_ = false;
  bool escape_pending_ = false;
  bool ended_ = false;
  std::optional<int> exit_code_;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_WINDOW_EVENTS_H_
