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
#include <string>
#include <utility>
#include <vector>

#include "app/corvalen_form.h"
#include "app/form_window.h"

// Win32 handles, declared as <windows.h> declares them, so that this header
// does not bring in the Win32 macros (MessageBox among them).
struct HWND__;
struct HFONT__;
struct HBRUSH__;
struct tagMSG;

namespace corvalen {

class CorvalenWin32 final : public FormWindow {
 public:
  // Creates the window, hidden, and runs its Load handling (scripts folder,
  // empty catalogue, version label). `crear_componente` makes data-access
  // component instances for the update module.
  explicit CorvalenWin32(ComponentFactory crear_componente, CorvalenOptions options = {});
  // Destroys the window; the module releases its objects (rolling back).
  ~CorvalenWin32() override;

  HWND__* handle() const { return window_; }

  // Shows the window (`show_command` as ShowWindow takes it) and runs its
  // message loop until the program ends; returns the exit code.
  int Run(int show_command);

  // The clipboard holds a copy of its own: the text outlives the program.
  // Error 521 when the clipboard cannot be opened.
  void ClipboardClear() override;
  void ClipboardSetText(const std::u16string& text) override;

 private:
  friend struct CorvalenWin32Procedure;

  // The box is owned by the window, which stays disabled until it is answered.
  void ShowMessageBox(const std::u16string& text, const std::u16string& title,
                      MessageIcon icon) override;
  // Takes each pending message once, leaving WM_QUIT for the message loop.
  void ProcessEvents() override;
  // Only painting goes on meanwhile: keys and clicks stay queued.
  void Wait(int32_t milliseconds) override;

  // The screen on the controls. A list box item cannot be changed in
  // place: ShowLine replaces it, keeping the current line and the scroll.
  void ShowLine(int32_t index, const std::u16string& text) override;
  void ShowLineAdded(const std::u16string& text) override;
  void ShowListCleared() override;
  void ShowCurrentLine(int32_t index) override;
  void PaintLines() override;
  void ScheduleRefresh(int milliseconds) override;
  void ShowProgress(int maximum, int value) override;
  void ShowStatus(const std::u16string& text) override;
  void ShowStatusPrg(const std::u16string& text) override;

  intptr_t OnMessage(unsigned message, uintptr_t wparam, intptr_t lparam);
  // Sees every message taken from the queue before it is dispatched; true
  // when it was consumed (Esc on the window or its controls).
  bool PreTranslate(const tagMSG& message);

  void BuildControls();
  HFONT__* Font(const form::Lettering& lettering);
  HWND__* Control(form::Id id) const { return controls_[static_cast<size_t>(id)]; }
  // Sets a label's text and fits its box to it.
  void SetText(form::Id id, const std::u16string& text);
  // The width `text` takes in control `id`'s lettering, in pixels; its
  // height goes to `height` unless null.
  int TextWidth(form::Id id, const std::u16string& text, int* height);
  // Sizes label `id`, from its designed place, so that `text` is not cut.
  void FitLabel(form::Id id, const std::u16string& text);
  // Starts the Activate handling unless it has started already.
  void Activate();
  // Lets the list scroll sideways far enough for `text`.
  void WidenList(const std::u16string& text);
  void PaintFrame();

  HWND__* window_ = nullptr;
  int dpi_ = 96;
  // One per control of the form, in its order; none for the drawn frame.
  std::array<HWND__*, std::size(form::kControls)> controls_{};
  std::vector<std::pair<form::Lettering, HFONT__*>> fonts_;
  HBRUSH__* background_ = nullptr;
  int list_extent_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_APP_CORVALEN_WINDOW_WINDOWS_H_
