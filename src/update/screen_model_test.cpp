#include "update/screen_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

// A view that writes down what the screen tells it.
class NotedScreen final : public ScreenModel {
 public:
  std::vector<std::string> shown;
  std::vector<int> refreshes_asked;
  int paint_ms = 0;

  void MessageBox(const std::u16string&, const std::u16string&, MessageIcon) override {}
  void ClipboardClear() override {}
  void ClipboardSetText(const std::u16string&) override {}
  void DoEvents() override {}
  void Pause(int32_t) override {}

 protected:
  void ShowListCleared() override { shown.push_back("cleared"); }
  void ShowLineAdded(const std::u16string& text) override { Note("added", text); }
  void ShowLine(int32_t index, const std::u16string& text) override {
    Note("line " + std::to_string(index), text);
  }
  void PaintLines() override {
    std::this_thread::sleep_for(std::chrono::milliseconds(paint_ms));
  }
  void ShowCurrentLine(int32_t index) override { shown.push_back("current " + std::to_string(index)); }
  void ShowScriptEnded(int32_t index, const std::u16string& text) override {
    Note("ended " + std::to_string(index), text);
  }
  void ShowStatusPrg(const std::u16string& text) override { Note("status_prg", text); }
  void ShowStatus(const std::u16string& text) override { Note("status", text); }
  void ShowProgress(int maximum, int value) override {
    shown.push_back("progress " + std::to_string(value) + "/" + std::to_string(maximum));
  }
  void ScheduleRefresh(int milliseconds) override { refreshes_asked.push_back(milliseconds); }

 private:
  void Note(const std::string& what, const std::u16string& text) {
    shown.push_back(what + " " + Utf16ToUtf8(text));
  }
};

using Shown = std::vector<std::string>;

TEST(ScreenModelTest, MarksAreShownAtTheRefreshAndEachEndIsTold) {
  NotedScreen screen;
  screen.ListAddItem(u"CATALOGOS_1.sql");
  screen.ListAddItem(u"NCM_1.sql");
  screen.SetListIndex(0);
  for (int i = 0; i < 3; ++i) screen.AppendToListItem(0, u"\u2022");
  screen.AppendToListItem(1, u" ERROR!");
  EXPECT_EQ(screen.refreshes_asked, std::vector<int>{16}) << "one refresh asked for";
  EXPECT_EQ(screen.shown, (Shown{"added CATALOGOS_1.sql", "added NCM_1.sql", "current 0"}));
  screen.shown.clear();

  screen.RefreshLines();
  screen.RefreshLines();  // nothing changed since
  screen.AppendToListItem(0, u" OK.");
  screen.ScriptEnded(0);
  EXPECT_EQ(screen.shown, (Shown{"line 0 CATALOGOS_1.sql\u2022\u2022\u2022",
                                 "line 1 NCM_1.sql ERROR!",
                                 "ended 0 CATALOGOS_1.sql\u2022\u2022\u2022 OK."}));
  EXPECT_EQ(screen.refreshes_asked.size(), 2u);
  EXPECT_TRUE(screen.script_ended(0));
  EXPECT_FALSE(screen.script_ended(1));
  screen.shown.clear();

  // The status line comes after the last marks.
  screen.SetStatusCaption(u"Se han producido errores , pulse [Esc] para salir.");
  EXPECT_EQ(screen.shown, (Shown{"line 0 CATALOGOS_1.sql\u2022\u2022\u2022 OK.",
                                 "status Se han producido errores , pulse [Esc] para salir."}));
  screen.ListClear();
  EXPECT_EQ(screen.line_count(), 0u);
  EXPECT_EQ(screen.current_line(), -1);
}

TEST(ScreenModelTest, CostlyRefreshesComeLessOften) {
  NotedScreen screen;
  screen.ListAddItem(u"x");
  screen.paint_ms = 4;
  screen.AppendToListItem(0, u"\u2022");
  screen.RefreshLines();
  EXPECT_GE(screen.refresh_interval_ms(), 100) << "at most a 25th of the time";
  EXPECT_LE(screen.refresh_interval_ms(), 1000);
}

TEST(ScreenModelTest, RefusesWhatTheWindowsRefuse) {
  NotedScreen screen;
  screen.ListAddItem(u"x");
  for (int16_t bad : {int16_t{-1}, int16_t{1}}) {
    EXPECT_THROW(screen.AppendToListItem(bad, u"x"), NumberedError);
    EXPECT_THROW(screen.SetListIndex(bad), NumberedError);
    EXPECT_THROW(screen.ScriptEnded(bad), NumberedError);
  }
  screen.SetProgressMax(12);
  screen.SetProgressValue(12);
  screen.shown.clear();
  for (float bad : {0.0f, 0.5f, -3.0f, std::nanf(""), INFINITY}) {
    try {
      screen.SetProgressMax(bad);
      ADD_FAILURE() << bad;
    } catch (const NumberedError& e) {
      EXPECT_EQ(e.number(), kErrInvalidPropertyValue);
    }
  }
  for (float bad : {13.0f, -1.0f, std::nanf("")}) {
    EXPECT_THROW(screen.SetProgressValue(bad), NumberedError) << bad;
  }
  EXPECT_TRUE(screen.shown.empty()) << "a refused value changes nothing";
  EXPECT_EQ(screen.progress_value(), 12);
  // A lower maximum brings the value down with it.
  screen.SetProgressMax(2.4f);
  EXPECT_EQ(screen.shown, Shown{"progress 2/2"});
  EXPECT_EQ(ScreenModel::ToBar(3e10f), INT32_MAX);
}

}  // namespace
}  // namespace corvalen
