// What the run shows, kept once for every view: the list's lines and its
// current line, which scripts have ended, the two captions, the progress
// bar's range and value, and the pacing at which lines that gained marks are
// shown again. A view (the Qt window, the Win32 window, the console) derives
// from it and only puts on its surface what the Show… members tell it; it
// still provides the message boxes, the clipboard, the passes of events, the
// pause and the end of the program. No window toolkit is needed here.
#ifndef CORVALEN_UPDATE_SCREEN_MODEL_H_
#define CORVALEN_UPDATE_SCREEN_MODEL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/run_window.h"

namespace corvalen {

class ScreenModel : public RunWindow {
 public:
  // An invalid line index, a progress maximum below 1 (or infinite) and a
  // progress value outside 0..maximum (NaN included) raise error 380 and
  // change nothing.
  void ListClear() final;
  void ListAddItem(const std::u16string& text) final;
  // Kept at once; shown at the next refresh.
  void AppendToListItem(int16_t index, std::u16string_view piece) final;
  void SetListIndex(int16_t index) final;
  void ScriptEnded(int16_t index) final;
  void SetStatusPrgCaption(const std::u16string& text) final;
  // The run is over: every line is shown with its last mark first.
  void SetStatusCaption(const std::u16string& text) final;
  void SetProgressMax(float maximum) final;
  void SetProgressValue(float value) final;
  // Throws ProgramEnded, which the program's outermost frame catches.
  [[noreturn]] void EndProgram(EndReason reason) override;

  size_t line_count() const { return lines_.size(); }
  const std::u16string& line(size_t index) const { return lines_[index]; }
  // The list's current line, or -1.
  int32_t current_line() const { return current_; }
  bool script_ended(size_t index) const { return ended_[index]; }
  const std::u16string& status_prg_caption() const { return status_prg_; }
  const std::u16string& status_caption() const { return status_; }
  float progress_max() const { return progress_max_; }
  float progress_value() const { return progress_value_; }
  // How long a refresh asked for now waits: about the screen's rate, and
  // never so short that showing the lines takes more than a 25th of the
  // run's time.
  int refresh_interval_ms() const { return refresh_interval_ms_; }

  // Shows every line whose text changed since it was last shown. A view
  // calls it when the refresh it was asked for is due, and before anything
  // that makes the user wait (a box, a pause).
  void RefreshLines();

  // A progress value as a bar takes it: rounded, at most INT32_MAX.
  static int ToBar(float value);

 protected:
  // The range a view's progress bar has when it is made.
  explicit ScreenModel(float progress_max_at_start = 100);

  // What a view puts on its surface; each shows nothing unless overridden.
  virtual void ShowListCleared() {}
  // May throw (a view out of memory); the line is kept only when it does not.
  virtual void ShowLineAdded(const std::u16string& /*text*/) {}
  // Line `index` now reads `text`.
  virtual void ShowLine(int32_t /*index*/, const std::u16string& /*text*/) {}
  // After a refresh's ShowLine calls: paint them now, so that what showing
  // them costs is known.
  virtual void PaintLines() {}
  virtual void ShowCurrentLine(int32_t /*index*/) {}
  // The script of line `index` has ended; `text` is its final line.
  virtual void ShowScriptEnded(int32_t /*index*/, const std::u16string& /*text*/) {}
  virtual void ShowStatusPrg(const std::u16string& /*text*/) {}
  virtual void ShowStatus(const std::u16string& /*text*/) {}
  virtual void ShowProgress(int /*maximum*/, int /*value*/) {}
  // Asks for RefreshLines once, `milliseconds` from now.
  virtual void ScheduleRefresh(int /*milliseconds*/) {}

 private:
  size_t CheckedLine(int16_t index) const;

  std::vector<std::u16string> lines_;
  std::vector<bool> ended_;
  // Lines changed since last shown, each once.
  std::vector<bool> stale_;
  std::vector<int32_t> stale_lines_;
  bool refresh_asked_ = false;
  int refresh_interval_ms_;
  int32_t current_ = -1;
  std::u16string status_prg_;
  std::u16string status_;
  float progress_max_;
  float progress_value_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_SCREEN_MODEL_H_
