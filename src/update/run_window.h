// What the update module needs of its window: the list of script lines, the
// two captions, the progress bar, message boxes, the clipboard, one pass of
// pending events, a pause, and the end of the program. ScreenModel
// (update/screen_model.h) keeps the list, captions and progress for the Qt
// window, the Win32 window and the console; the tests' recording fake
// implements it by itself.
#ifndef CORVALEN_UPDATE_RUN_WINDOW_H_
#define CORVALEN_UPDATE_RUN_WINDOW_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corvalen {

enum class MessageIcon { kExclamation, kCritical };

// Why the program ends at once; the console program turns it into its exit code.
enum class EndReason {
  kCompleted,     // the run finished without errors (after its pause)
  kScriptFailed,  // a script failed and was rolled back
  kAccessTag,     // the data-access component reported the tag "ACCESS"
  kFailure,       // a handler reported a failure
  kEscape,        // Esc after a run with errors
  kClosed,        // the window was closed once the run was no longer going on
};

// Thrown by RunWindow::EndProgram to leave the run at once. It is not an
// error: error handlers never catch it, so it unwinds to the program's
// outermost frame, which releases the module's objects (rolling back any open
// transaction) and leaves the program.
struct ProgramEnded {
  EndReason reason;
};

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // List1. Indexes count from 0; naming a line that does not exist raises
  // error 380 (invalid property value).
  virtual void ListClear() = 0;
  virtual void ListAddItem(const std::u16string& text) = 0;
  // Appends `piece` to the text of a line, in amortized constant time: the
  // run adds two progress marks per group, and a line may gather hundreds of
  // thousands of them.
  virtual void AppendToListItem(int16_t index, std::u16string_view piece) = 0;
  // Makes the line the list's current line.
  virtual void SetListIndex(int16_t index) = 0;
  // The script of line `index` has ended: the line holds its outcome.
  virtual void ScriptEnded(int16_t index) = 0;

  // Lbl_StatusPrg, what the run is doing now.
  virtual void SetStatusPrgCaption(const std::u16string& text) = 0;
  // Lbl_Status, the final status line.
  virtual void SetStatusCaption(const std::u16string& text) = 0;

  // prgbar. A maximum below 1 or infinite, or a value outside 0..maximum
  // (NaN too), raises error 380.
  virtual void SetProgressMax(float maximum) = 0;
  virtual void SetProgressValue(float value) = 0;

  // A modal box with one OK button; returns when it is closed.
  virtual void MessageBox(const std::u16string& text, const std::u16string& title,
                          MessageIcon icon) = 0;

  virtual void ClipboardClear() = 0;
  virtual void ClipboardSetText(const std::u16string& text) = 0;

  // Lets the window process its pending paint and input messages once.
  virtual void DoEvents() = 0;
  // Blocks the thread for the given time.
  virtual void Pause(int32_t milliseconds) = 0;

  // Ends the program at once: throws ProgramEnded (or leaves the process);
  // never returns, and commits nothing.
  [[noreturn]] virtual void EndProgram(EndReason reason) = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_RUN_WINDOW_H_
