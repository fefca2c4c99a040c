// The update module's window on a console, for unattended runs on machines
// without a desktop: each list line's final text goes to standard output when
// its script ends, message boxes to standard error as "title: text", the final
// status line last, and progress to standard error only when it is a terminal.
// Every text reaches the streams escaped (EscapeControls, EscapeForTerminal).
// It never waits for a key and never pauses.
#ifndef CORVALEN_CONSOLE_CONSOLE_WINDOW_H_
#define CORVALEN_CONSOLE_CONSOLE_WINDOW_H_

#include <cstdio>
#include <string>
#include <string_view>

#include "update/screen_model.h"

namespace corvalen {

// `text` with every character a terminal would act on written as an escape:
// the C0 controls and DEL (\n, \r, \t, or \xNN), the C1 controls (\xNN) and
// the bidirectional overrides and isolates U+202A to U+202E and U+2066 to
// U+2069 (\uNNNN). A file name stays on one line, and nothing reaches a
// terminal raw.
std::u16string EscapeControls(std::u16string_view text);
// The same for a text of several lines (a message, a script's text): its
// line breaks (CR LF, CR, LF) become LF and its tabs stay.
std::u16string EscapeForTerminal(std::u16string_view text);

class ConsoleWindow final : public ScreenModel {
 public:
  // `show_progress`: write the progress caption to `err` as it changes.
  ConsoleWindow(std::FILE* out, std::FILE* err, bool show_progress);
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  void MessageBox(const std::u16string& text, const std::u16string& title,
                  MessageIcon icon) override;
  void ClipboardClear() override { clipboard_.clear(); }
  void ClipboardSetText(const std::u16string& text) override { clipboard_ = text; }
  void DoEvents() override {}
  void Pause(int32_t) override {}

  // Writes the line of the script that was running when the program ended,
  // and after a failed script `failure_location` (one line, unless empty) and
  // the text it left on the clipboard.
  void FinishAbruptEnd(EndReason reason, const std::u16string& failure_location);

 private:
  void ShowScriptEnded(int32_t index, const std::u16string& text) override;
  void ShowStatusPrg(const std::u16string& text) override;
  void ShowStatus(const std::u16string& text) override;
  void PrintLine(const std::u16string& text);
  void ClearProgress();

  std::FILE* out_;
  std::FILE* err_;
  bool show_progress_;
  bool progress_shown_ = false;
  std::u16string clipboard_;
};

}  // namespace corvalen

#endif  // CORVALEN_CONSOLE_CONSOLE_WINDOW_H_
