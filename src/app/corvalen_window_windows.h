// The program's one window on Windows, `Corvalen`, as a native Win32 window
// built from the form's description (app/corvalen_form.h): the list of
// scripts, the progress caption and bar, the status line, and the header with
// title and version. It behaves as the Qt window does: it owns the update
// module, starts the update run once, at its first activation or at the first
// idle moment after it is shown, ignores the close button while the run is
// going on, and ends the program on Esc (key-up) once the run has finished.
#ifndef CORVALEN_APP_CORVALEN_WINDOW_WINDOWS_H_
#define CORVALEN_APP_CORVALEN_WINDOW_WINDOWS_H_

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/corvalen_form.h"
#include "app/window_events.h"
#include "app/window_options.h"
#include "update/mod_main.h"
#include "update/procedure.h"
#include "update/run_window.h"

// Win32 handles, declared as <windows.h> declares them, so that this header
// does not bring in the Win32 macros (MessageBox among them).
struct HWND__;
struct HFONT__;
struct HBRUSH__;
struct tagMSG;

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

class CorvalenWin32 final : public RunWindow {
 public:
  // Creates the window, hidden, and runs its Load handling (scripts folder,
  // empty catalogue, version label). `crear_componente` makes data-access
  // component instances for the update module.
  explicit CorvalenWin32(ComponentFactory crear_componente, CorvalenOptions options = {});
  // Destroys the window; the module releases its objects (rolling back).
  ~CorvalenWin32() override;
  CorvalenWin32(const CorvalenWin32&) = delete;
  CorvalenWin32& operator=(const CorvalenWin32&) = delete;

  ModMain& module() { return module_; }
  void SetMessageBoxHook(BoxHook hook) { box_hook_ = std::move(hook); }
  HWND__* handle() const { return window_; }

  // Shows the window (`show_command` as ShowWindow takes it) and runs its
  // message loop until the program ends; returns the exit code.
  int Run(int show_command);

  // Whether the Activate handling has started (it starts once).
  bool run_started() const { return events_.activated(); }
  // Whether the Activate handling is still going on.
  bool running() const { return events_.running(); }
  // Whether the program has ended; then exit_code() is what Run returns.
  bool ended() const { return events_.ended(); }
  std::optional<int> exit_code() const { return events_.exit_code(); }

  // ---- RunWindow ----
  void ListClear() override;
  void ListAddItem(const std::u16string& text) override;
  int32_t ListCount() const override;
  std::u16string ListItem(int16_t index) const override;
  void SetListItem(int16_t index, const std::u16string& text) override;
  // Keeps the line's text here and shows it on the list box at most about
  // once per screen refresh (less often when showing a long line is costly):
  // replacing a long item for every mark would make a script's cost grow
  // with the square of its groups.
  void AppendToListItem(int16_t index, std::u16string_view piece) override;
  void SetListIndex(int16_t index) override;
  void SetStatusPrgCaption(const std::u16string& text) override;
  void SetStatusCaption(const std::u16string& text) override;
  void SetProgressMax(float maximum) override;
  void SetProgressValue(float value) override;
  void MessageBox(const std::u16string& text, const std::u16string& title,
                  MessageIcon icon) override;
  // The clipboard holds a copy of its own: the text outlives the program.
  // Error 521 when the clipboard cannot be opened.
  void ClipboardClear() override;
  void ClipboardSetText(const std::u16string& text) override;
  // Processes the pending messages once; an Esc that asked to end the
  // program meanwhile ends it here.
  void DoEvents() override;
  // Waits, keeping the window painted; input waits until afterwards.
  void Pause(int32_t milliseconds) override;
  [[noreturn]] void EndProgram(EndReason reason) override;

 private:
  friend struct CorvalenWin32Procedure;

  intptr_t OnMessage(unsigned message, uintptr_t wparam, intptr_t lparam);
  // Sees every message taken from the queue before it is dispatched; true
  // when it was consumed (Esc on the window or its controls).
  bool PreTranslate(const tagMSG& message);

  void BuildControls();
  HFONT__* Font(const form::Lettering& lettering);
  HWND__* Control(form::Id id) const { return controls_[static_cast<size_t>(id)]; }
  void SetText(form::Id id, const std::u16string& text);
  // Widens the version label to its text, within the header frame.
  void FitVersionLabel();
  // Starts the Activate handling unless it has started already.
  void Activate();
  void CheckLine(int16_t index) const;
  // Replaces the list box's item `index` with the kept text of that line.
  void ShowLine(int32_t index);
  // Lets the list scroll sideways far enough for `text`.
  void WidenList(const std::u16string& text);
  // Shows on the list every line whose text changed since it was last shown.
  void RefreshLines();
  void PaintFrame();

  ModMain module_;
  CorvalenOptions options_;
  WindowEvents events_;
  BoxHook box_hook_;

  HWND__* window_ = nullptr;
  int dpi_ = 96;
  // One per control of the form, in its order; none for the drawn frame.
  std::array<HWND__*, std::size(form::kControls)> controls_{};
  std::vector<std::pair<form::Lettering, HFONT__*>> fonts_;
  HBRUSH__* background_ = nullptr;

  // The text of every line of List1, which may be ahead of what the list
  // box shows until the next refresh.
  std::vector<std::u16string> lines_;
  std::vector<int32_t> stale_lines_;
  bool refresh_timer_set_ = false;
  unsigned refresh_interval_ms_;
  int list_extent_ = 0;

  float progress_max_ = form::kProgressMaxAtStart;
  float progress_value_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_WINDOW_WINDOWS_H_
