#include "console/console_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "update/exit_codes.h"

namespace corvalen {
namespace {

// Captures what the window writes to its two streams.
class ConsoleWindowTest : public ::testing::Test {
 protected:
  ConsoleWindowTest()
      : out_(tmpfile()), err_(tmpfile()), window_(out_, err_, /*show_progress=*/false) {}
  ~ConsoleWindowTest() override {
    fclose(out_);
    fclose(err_);
  }
  static std::string Read(std::FILE* f) {
    fflush(f);
    rewind(f);
    std::string s;
    for (int c; (c = fgetc(f)) != EOF;) s += static_cast<char>(c);
    return s;
  }
  std::FILE* out_;
  std::FILE* err_;
  ConsoleWindow window_;
};

TEST_F(ConsoleWindowTest, PrintsEachLineWhenItsScriptEnds) {
  window_.ListAddItem(u"CATALOGOS_1.sql");
  window_.ListAddItem(u"NCM_1.sql");
  window_.SetProgressMax(2);
  window_.SetListIndex(0);
  window_.AppendToListItem(0, u" \u2022\u2022\u2022 OK.");
  window_.SetProgressValue(1);
  EXPECT_EQ(Read(out_), "") << "the progress value says nothing of the script's end";
  window_.ScriptEnded(0);
  EXPECT_EQ(Read(out_), "CATALOGOS_1.sql \u2022\u2022\u2022 OK.\n");
  window_.SetListIndex(1);
  window_.AppendToListItem(1, u" ERROR!");
  window_.ScriptEnded(1);
  window_.SetStatusCaption(u"Se han producido errores , pulse [Esc] para salir.");
  window_.FinishAbruptEnd(EndReason::kEscape, u"");
  EXPECT_EQ(Read(out_),
            "CATALOGOS_1.sql \u2022\u2022\u2022 OK.\nNCM_1.sql ERROR!\n"
            "Se han producido errores , pulse [Esc] para salir.\n");
}

TEST_F(ConsoleWindowTest, MessageBoxesGoToStandardErrorAsTitleAndText) {
  window_.MessageBox(u"Overflow\r\nin CorvalenSQL.Mod_Main.P at line 10", u"Título",
                     MessageIcon::kExclamation);
  EXPECT_EQ(Read(err_), "Título: Overflow\nin CorvalenSQL.Mod_Main.P at line 10\n");
  EXPECT_EQ(Read(out_), "");
}

TEST_F(ConsoleWindowTest, AFailedScriptLeavesItsLineAndTheClipboardText) {
  window_.ListAddItem(u"NCM_1.sql");
  window_.SetListIndex(0);
  window_.AppendToListItem(0, u" \u2022");
  window_.ClipboardClear();
  window_.ClipboardSetText(u"INSERT INTO t VALUES (1)\r\n");
  EXPECT_THROW(window_.EndProgram(EndReason::kScriptFailed), ProgramEnded);
  window_.FinishAbruptEnd(EndReason::kScriptFailed, u"Script: x.sql, lines 3-4 (group of pieces 1..1)");
  EXPECT_EQ(Read(out_), "NCM_1.sql \u2022\n");
  EXPECT_EQ(Read(err_), "Script: x.sql, lines 3-4 (group of pieces 1..1)\nINSERT INTO t VALUES (1)\n\n");
}

TEST(ExitCodesTest, OneCodePerWayOfEnding) {
  EXPECT_EQ(ExitCodeFor(EndReason::kCompleted, false), 0);
  EXPECT_EQ(ExitCodeFor(EndReason::kEscape, true), 1);
  EXPECT_EQ(ExitCodeFor(EndReason::kEscape, false), 0);
  EXPECT_EQ(ExitCodeFor(EndReason::kScriptFailed, false), 2);
  EXPECT_EQ(ExitCodeFor(EndReason::kAccessTag, false), 3);
  EXPECT_EQ(ExitCodeFor(EndReason::kFailure, true), 4);
  // A window closed by hand never reports success.
  EXPECT_EQ(ExitCodeFor(EndReason::kClosed, true), 1);
  EXPECT_EQ(ExitCodeFor(EndReason::kClosed, false), 4);
}

TEST(EscapeControlsTest, ControlCharactersAreWrittenAsEscapes) {
  EXPECT_EQ(EscapeControls(u"NCM_a\nb\tc\x1b[2J\x7f\r\u00F1.sql"),
            u"NCM_a\\nb\\tc\\x1b[2J\\x7f\\r\u00F1.sql");
  // C1 controls (a terminal reads U+009B as CSI) and the bidirectional
  // overrides and isolates; the letters around them stay.
  EXPECT_EQ(EscapeControls(u"\u009b2J\u0085\u00a0x\u202etxt.sql\u2066\u2069\u2028"),
            u"\\x9b2J\\x85\u00a0x\\u202etxt.sql\\u2066\\u2069\u2028");
  // A text of several lines keeps its line breaks and tabs, nothing else.
  EXPECT_EQ(EscapeForTerminal(u"a\r\nb\rc\nd\te\x1b]0;x\x07\u009d"),
            u"a\nb\nc\nd\te\\x1b]0;x\\x07\\x9d");
}

}  // namespace
}  // namespace corvalen
