// What the window `Corvalen` is whatever its toolkit: the screen the run
// writes to (update/screen_model.h), the update module it owns, and the
// handling of its events (app/window_events.h). The Qt and the Win32 window
// derive from it and add only their controls, boxes, clipboard and message
// passes.
#ifndef CORVALEN_APP_FORM_WINDOW_H_
#define CORVALEN_APP_FORM_WINDOW_H_

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "app/window_events.h"
#include "app/window_options.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/screen_model.h"

namespace corvalen {

// A message box about to be shown, as the window's box hook sees it.
struct BoxRequest {
  std::u16string text;  // as the program wrote it ("\r\n" line breaks)
  std::u16string title;
  MessageIcon icon;
};

// Sees every message box before it is shown; returning true answers the box
// with OK without showing it. Used by tests.
using BoxHook = std::function<bool(const BoxRequest& box)>;

class FormWindow : public ScreenModel {
 public:
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  ModMain& module() { return module_; }

  // Whether the Activate handling has started (it starts once).
  bool run_started() const { return events_.activated(); }
  // Whether the Activate handling is still going on.
  bool running() const { return events_.running(); }
  // Whether the program has ended; then exit_code() is the code it ends with.
  bool ended() const { return events_.ended(); }
  std::optional<int> exit_code() const { return events_.exit_code(); }

  void SetMessageBoxHook(BoxHook hook) { box_hook_ = std::move(hook); }

  // Shows the lines' last marks first; then the box, modal, with one OK button.
  void MessageBox(const std::u16string& text, const std::u16string& title,
                  MessageIcon icon) final;
  // Processes pending events once; an Esc that asked to end the program
  // meanwhile ends it here.
  void DoEvents() final;
  // Shows the lines' last marks, then waits; no input is taken meanwhile.
  void Pause(int32_t milliseconds) final;

 protected:
  // `crear_componente` makes data-access component instances for the update
  // module; `quit` leaves the toolkit's event loop with an exit code. The
  // derived window builds its controls, then runs the Load handling.
  FormWindow(ComponentFactory crear_componente, CorvalenOptions options,
             std::function<void(int exit_code)> quit);
  ~FormWindow() override = default;

  // The toolkit's share of the three above.
  virtual void ShowMessageBox(const std::u16string& text, const std::u16string& title,
                              MessageIcon icon) = 0;
  virtual void ProcessEvents() = 0;
  virtual void Wait(int32_t milliseconds) = 0;

  ModMain module_;
  CorvalenOptions options_;
  WindowEvents events_;

 private:
  BoxHook box_hook_;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_FORM_WINDOW_H_
