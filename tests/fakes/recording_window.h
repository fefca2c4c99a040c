// A RunWindow that records every call, for the update module's tests.
#ifndef CORVALEN_TESTS_FAKES_RECORDING_WINDOW_H_
#define CORVALEN_TESTS_FAKES_RECORDING_WINDOW_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "update/run_window.h"

namespace corvalen::testing {

struct RecordedBox {
  std::u16string text;
  std::u16string title;
  MessageIcon icon;
};

class RecordingWindow : public RunWindow {
 public:
  // Everything the module did, in order, as readable lines
  // ("list.add x", "status_prg ...", "box ...", "do_events", ...).
  std::vector<std::string> events;

  std::vector<std::u16string> lines;
  int32_t list_index = -1;
  std::u16string status_prg = u"Preparando ...";
  std::u16string status;
  float progress_max = 100;
  float progress_value = 0;
  std::vector<RecordedBox> boxes;
  std::u16string clipboard;
  bool clipboard_set = false;
  int do_events_count = 0;
  int paused_ms = 0;

  // Called before each operation with its event line; may throw to make that
  // operation fail (e.g. a NumberedError for "list.set", which an append
  // records).
  std::function<void(const std::string& event)> fail_hook;

  void ListClear() override {
    Record("list.clear");
    lines.clear();
  }
  void ListAddItem(const std::u16string& text) override {
    Record("list.add " + Utf16ToUtf8(text));
    lines.push_back(text);
  }
  void AppendToListItem(int16_t index, std::u16string_view piece) override {
    // Recorded with the line's whole new text, as a rewrite of the line
    // would be, so that tests read the line as it grows.
    if (index >= 0 && static_cast<size_t>(index) < lines.size()) {
      Record("list.set " + std::to_string(index) + " " +
             Utf16ToUtf8(lines[static_cast<size_t>(index)] + std::u16string(piece)));
    } else {
      Record("list.set " + std::to_string(index) + " ");
    }
    CheckIndex(index);
    lines[static_cast<size_t>(index)] += piece;
  }
  void SetListIndex(int16_t index) override {
    Record("list.select " + std::to_string(index));
    CheckIndex(index);
    list_index = index;
  }
  void ScriptEnded(int16_t index) override {
    Record("script.ended " + std::to_string(index));
    CheckIndex(index);
  }
  void SetStatusPrgCaption(const std::u16string& text) override {
    Record("status_prg " + Utf16ToUtf8(text));
    status_prg = text;
  }
  void SetStatusCaption(const std::u16string& text) override {
    Record("status " + Utf16ToUtf8(text));
    status = text;
  }
  void SetProgressMax(float maximum) override {
    Record("progress.max " + std::to_string(static_cast<long long>(maximum)));
    if (maximum < 1) throw NumberedError(kErrInvalidPropertyValue);
    progress_max = maximum;
  }
  void SetProgressValue(float value) override {
    Record("progress.value " + std::to_string(static_cast<long long>(value)));
    if (!(value >= 0 && value <= progress_max)) throw NumberedError(kErrInvalidPropertyValue);
    progress_value = value;
  }
  void MessageBox(const std::u16string& text, const std::u16string& title,
                  MessageIcon icon) override {
    Record("box " + Utf16ToUtf8(title) + (icon == MessageIcon::kCritical ? " [critical] " : " [exclamation] ") +
           Utf16ToUtf8(text));
    boxes.push_back({text, title, icon});
  }
  void ClipboardClear() override {
    Record("clipboard.clear");
    clipboard.clear();
    clipboard_set = false;
  }
  void ClipboardSetText(const std::u16string& text) override {
    Record("clipboard.set " + Utf16ToUtf8(text));
    clipboard = text;
    clipboard_set = true;
  }
  void DoEvents() override {
    Record("do_events");
    ++do_events_count;
  }
  void Pause(int32_t milliseconds) override {
    Record("pause " + std::to_string(milliseconds));
    paused_ms += milliseconds;
  }
  [[noreturn]] void EndProgram(EndReason reason) override {
    events.push_back("end " + std::to_string(static_cast<int>(reason)));
    throw ProgramEnded{reason};
  }

  // Events whose text starts with `prefix`.
  std::vector<std::string> EventsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events) {
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    }
    return out;
  }

 private:
  void Record(const std::string& event) {
    events.push_back(event);
    if (fail_hook) fail_hook(event);
  }
  void CheckIndex(int16_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= lines.size()) {
      throw NumberedError(kErrInvalidPropertyValue);
    }
  }
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_FAKES_RECORDING_WINDOW_H_
