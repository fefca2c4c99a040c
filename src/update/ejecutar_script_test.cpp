#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "db/odbc_connection.h"
#include "db/sqlite_connection.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/recording_connection.h"
#include "tests/fakes/recording_window.h"
#include "update/mod_main.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using testing::Journal;
using testing::RecordingConnection;
using testing::RecordingWindow;
using Texts = std::vector<std::u16string>;

const std::u16string kCrLf = u"\r\n";
const std::u16string kLine = u"NCM_script.sql";
const std::u16string kA = u"INSERT INTO notas (texto) VALUES ('caf\u00E9 con cr\u00E8me');";
const std::u16string kB = u"INSERT INTO notas (texto) VALUES ('\u20AC 20, a\u00F1o 2024');";

std::u16string ScriptPath(const std::string& name) {
  return Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/scripts/" + name);
}

std::u16string Ordinary(int n) {
  return u"INSERT INTO bitacora (paso) VALUES (" + ToDecimal(n) + u");";
}

// A group's text: each piece followed by CR LF.
std::u16string Group(const Texts& pieces) {
  std::u16string text;
  for (const auto& piece : pieces) text += piece + kCrLf;
  return text;
}

// Pieces first..last of a script whose pieces are Ordinary(n) lines.
Texts OrdinaryPieces(int first, int last) {
  Texts pieces;
  for (int n = first; n <= last; ++n) pieces.push_back(n == 0 ? Ordinary(0) : kCrLf + Ordinary(n));
  return pieces;
}

struct Outcome {
  std::optional<bool> result;  // set when the call returned
  std::optional<EndReason> ended;
};

class EjecutarScriptTest : public ::testing::Test {
 protected:
  EjecutarScriptTest() : module_(window_, nullptr) {
    window_.lines = {u"CATALOGOS_a.sql", kLine};
    connection_ = std::make_shared<RecordingConnection>("db", journal_);
    // Execute calls join the window's events, so that marks, calls and yields
    // can be read in one order; `fail_call` makes the n-th call (from 1) fail.
    connection_->execute_error = [this](const std::u16string&) -> std::u16string {
      ++calls_;
      window_.events.push_back("execute");
      return calls_ == fail_call_ ? u"Invalid object name 'x'." : u"";
    };
    module_.oConexion = connection_;
    connection_->BeginTrans();  // as the run driver does before each script
  }

  Outcome Run(const std::u16string& path, int32_t indice = 1) {
    Outcome outcome;
    try {
      outcome.result = module_.EjecutarScript(path, indice);
    } catch (const ProgramEnded& end) {
      outcome.ended = end.reason;
    }
    return outcome;
  }
  Outcome RunScript(const std::string& name) { return Run(ScriptPath(name)); }

  // Expects a successful run that sent exactly `groups`, each between its two
  // marks and followed by a yield, and nothing else.
  void ExpectSent(const Outcome& outcome, const Texts& groups) {
    ASSERT_EQ(outcome.result, std::optional<bool>(true));
    EXPECT_FALSE(outcome.ended);
    EXPECT_EQ(connection_->executed, groups);
    std::u16string marks;
    std::vector<std::string> expected_events;
    for (size_t k = 0; k < groups.size(); ++k) {
      marks += u"\u2022";
      expected_events.push_back("list.set 1 " + Utf16ToUtf8(kLine + marks));
      expected_events.push_back("execute");
      marks += u"\u2022";
      expected_events.push_back("list.set 1 " + Utf16ToUtf8(kLine + marks));
      expected_events.push_back("do_events");
    }
    EXPECT_EQ(window_.events, expected_events);
    EXPECT_EQ(window_.lines[1], kLine + marks);
    std::vector<std::string> transaction_calls;
    for (const auto& call : *journal_) {
      if (call.rfind("db.Execute ", 0) != 0) transaction_calls.push_back(call);
    }
    EXPECT_EQ(transaction_calls, std::vector<std::string>{"db.BeginTrans"})
        << "the caller's transaction is neither committed nor rolled back";
  }

  // Expects the failure report: rollback, box, clipboard, end of program.
  void ExpectFailure(const Outcome& outcome, const std::u16string& description,
                     const std::u16string& path, int32_t index, const std::u16string& group) {
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.ended, std::optional<EndReason>(EndReason::kScriptFailed));
    ASSERT_EQ(window_.boxes.size(), 1u);
    EXPECT_EQ(window_.boxes[0].text, description + u" Actualizaci\u00F3n Cancelada. Script: " +
                                         path + u" - Linea: " + ToDecimal(index) + group);
    EXPECT_EQ(window_.boxes[0].title, u"\u00A1Atencion!");
    EXPECT_EQ(window_.boxes[0].icon, MessageIcon::kCritical);
    EXPECT_TRUE(window_.clipboard_set);
    EXPECT_EQ(window_.clipboard, group);
    auto tail = window_.EventsStartingWith("clipboard");
    EXPECT_EQ(tail.size(), 2u);
    EXPECT_EQ(window_.events.back(), "end " + std::to_string(static_cast<int>(EndReason::kScriptFailed)));
    for (const auto& line : *journal_) EXPECT_NE(line, "db.CommitTrans");
  }

  RecordingWindow window_;
  ModMain module_;
  std::shared_ptr<Journal> journal_ = std::make_shared<Journal>();
  std::shared_ptr<RecordingConnection> connection_;
  int calls_ = 0;
  int fail_call_ = 0;
};

// ---- Reading, normalising, cutting ----

TEST_F(EjecutarScriptTest, AGoBGoIsOneCallInEveryEncoding) {
  // Windows-1252, UTF-8 and UTF-16 with a byte-order mark: the same call, and
  // the mark never reaches the database.
  for (const char* name : {"a_go_b_go.sql", "a_go_b_go_utf8bom.sql", "a_go_b_go_utf16le.sql"}) {
    SCOPED_TRACE(name);
    window_.events.clear();
    window_.lines[1] = kLine;
    connection_->executed.clear();
    ExpectSent(RunScript(name), {kA + kCrLf + kCrLf + kB + kCrLf});
    EXPECT_EQ(connection_->executed[0].substr(0, 6), u"INSERT");
  }
}

TEST_F(EjecutarScriptTest, LfLineEndsAreCutAtEveryGoLine) {
  // The file is one line holding LFs; its upper-case GO lines separate too.
  ExpectSent(RunScript("a_go_b_go_lf.sql"), {kA + kCrLf + u"\n" + kB + kCrLf});
}

TEST_F(EjecutarScriptTest, WithoutTheFinalGoTheLastPieceNeverRuns) {
  ExpectSent(RunScript("sin_go_final.sql"), {kA + kCrLf});
}

TEST_F(EjecutarScriptTest, NoSeparatorOrAnEmptyFileRunsNothing) {
  ExpectSent(RunScript("sin_separador.sql"), {});
  ExpectSent(RunScript("vacio.sql"), {});
}

TEST_F(EjecutarScriptTest, FourSpellingsSeparateAtLineStarts) {
  // Lower- and mixed-case lines leave an extra CR at the end of the piece
  // before them; the upper-case GO does not.
  ExpectSent(RunScript("grafias.sql"),
             {Group({u"SELECT 0\r", u"\r\nSELECT 1\r", u"\r\nSELECT 2\r", u"\r\nSELECT 3"})});
}

TEST_F(EjecutarScriptTest, FourSpellingsSeparateAfterALoneLf) {
  ExpectSent(RunScript("grafias_lf.sql"),
             {Group({u"SELECT 0", u"\nSELECT 1", u"\nSELECT 2", u"\nSELECT 3"})});
}

TEST_F(EjecutarScriptTest, FirstLineBlanksAndMidLineDoNotSeparate) {
  ExpectSent(RunScript("no_separan.sql"),
             {Group({u"GO\r\nSELECT 1\r\n  GO\r\n\tgo\r\nSELECT 2 GO\r\nSELECT 3 -- go"})});
}

TEST_F(EjecutarScriptTest, WhatFollowsTheLettersHeadsTheNextPiece) {
  ExpectSent(RunScript("resto_de_linea.sql"),
             {Group({u"SELECT 1", u" -- fin\r\nSELECT 2", u"TO x\r\nSELECT 3\r",
                     u"vernment\r\nSELECT 4"})});
}

// ---- Groups ----

TEST_F(EjecutarScriptTest, RoutineAndViewPiecesAreSentAlone) {
  const Texts p = {
      Ordinary(0),
      u"\r\ncreate procedure dbo.uno as select 1",
      kCrLf + Ordinary(2),
      u"\r\n-- ALTER: nothing here but a FUNCTION in a comment\r\n" + Ordinary(3),
      kCrLf + Ordinary(4),
      u"\r\nCREATE PROC dbo.corto AS SELECT 1",
      u"\r\nCREATE VIEW dbo.v AS SELECT 1 AS x",
      u"\r\nCREATE TRIGGER dbo.t ON dbo.x AFTER INSERT AS SELECT 1",
      kCrLf + Ordinary(8),
  };
  // Every piece but the two plain inserts creates or alters a routine, a
  // view or a trigger (a comment counts): each closes the group in front of
  // it and its own.
  Texts expected;
  for (const auto& piece : p) expected.push_back(Group({piece}));
  ExpectSent(RunScript("anticipacion.sql"), expected);
}

TEST_F(EjecutarScriptTest, OrdinaryGroupsHold21Pieces) {
  ExpectSent(RunScript("veinticinco.sql"),
             {Group(OrdinaryPieces(0, 20)), Group(OrdinaryPieces(21, 24))});
}

TEST_F(EjecutarScriptTest, AProcedureAtIndex5StartsTheSecondGroup) {
  ExpectSent(RunScript("procedimiento_en_5.sql"),
             {Group(OrdinaryPieces(0, 4)), Group({u"\r\nCREATE PROCEDURE dbo.p5 AS SELECT 5"}),
              Group({kCrLf + Ordinary(6), kCrLf + Ordinary(7)})});
}

const Texts kTresGrupos = {
    Ordinary(0),
    u"\r\nCREATE PROCEDURE dbo.p1 AS SELECT 1",
    u"\r\nALTER FUNCTION dbo.f2() RETURNS int AS BEGIN RETURN 2 END",
    kCrLf + Ordinary(3),
};

TEST_F(EjecutarScriptTest, TwoRoutinesInARowMakeFourGroups) {
  ExpectSent(RunScript("tres_grupos.sql"), {Group({kTresGrupos[0]}), Group({kTresGrupos[1]}),
                                            Group({kTresGrupos[2]}), Group({kTresGrupos[3]})});
}

// ---- Failures ----

TEST_F(EjecutarScriptTest, FailureInAGroupSentInsideTheWalk) {
  fail_call_ = 2;
  const std::u16string path = ScriptPath("tres_grupos.sql");
  Outcome outcome = Run(path);
  // The index of the failing group's last piece, and that group's text.
  ExpectFailure(outcome, u"Invalid object name 'x'.", path, 1, Group({kTresGrupos[1]}));
  EXPECT_EQ(connection_->executed.size(), 2u) << "nothing is sent after the failure";
  EXPECT_EQ(*journal_, (std::vector<std::string>{"db.BeginTrans", "db.Execute " +
                                                     Utf16ToUtf8(Group({kTresGrupos[0]})),
                                                 "db.Execute " + Utf16ToUtf8(Group({kTresGrupos[1]})),
                                                 "db.RollbackTrans"}));
  // Two marks for the first call, one for the failing one.
  EXPECT_EQ(window_.lines[1], kLine + u"\u2022\u2022\u2022 ERROR!");
  // Order: rollback before the box, the box before the clipboard.
  std::vector<std::string> tail(window_.events.end() - 4, window_.events.end());
  EXPECT_EQ(tail[0].substr(0, 4), "box ");
  EXPECT_EQ(tail[1], "clipboard.clear");
  EXPECT_EQ(tail[2].substr(0, 14), "clipboard.set ");
}

TEST_F(EjecutarScriptTest, FailureInTheGroupSentAfterTheWalk) {
  fail_call_ = 4;
  const std::u16string path = ScriptPath("tres_grupos.sql");
  // One more than the last piece to run (3).
  ExpectFailure(Run(path), u"Invalid object name 'x'.", path, 4, Group({kTresGrupos[3]}));
  EXPECT_EQ(window_.lines[1], kLine + std::u16string(7, u'\u2022') + u" ERROR!");
}

TEST_F(EjecutarScriptTest, FailureBeforeTheWalkShowsIndexZeroAndNoText) {
  const std::u16string path = ScriptPath("no_existe.sql");
  ExpectFailure(Run(path), u"File not found", path, 0, u"");
  EXPECT_EQ(*journal_, (std::vector<std::string>{"db.BeginTrans", "db.RollbackTrans"}));
}

TEST_F(EjecutarScriptTest, FailureToMarkTheListLine) {
  // The only group is sent after the walk over pieces 0 and 1.
  const std::u16string path = ScriptPath("a_go_b_go.sql");
  ExpectFailure(Run(path, 7), u"Invalid property value", path, 2, kA + kCrLf + kCrLf + kB + kCrLf);
  EXPECT_TRUE(connection_->executed.empty());
}

// ---- Mended faults ----

TEST_F(EjecutarScriptTest, AFailedRollbackIsAddedToTheReportNotInPlaceOfIt) {
  fail_call_ = 1;
  connection_->fail_operation = [](const std::string& op) { return op == "RollbackTrans"; };
  const std::u16string path = ScriptPath("sin_go_final.sql");
  ExpectFailure(Run(path), u"Invalid object name 'x'. (RollbackTrans: RollbackTrans failed)", path,
                1, kA + kCrLf);
  // The transaction is still open; releasing the connection rolls it back.
  EXPECT_TRUE(connection_->in_transaction);
}

TEST_F(EjecutarScriptTest, WithoutAConnectionBothFailuresAreReported) {
  module_.oConexion.reset();
  const std::u16string path = ScriptPath("sin_go_final.sql");
  const std::u16string not_set = StandardDescription(kErrObjectNotSet);
  ExpectFailure(Run(path), not_set + u" (RollbackTrans: " + not_set + u")", path, 1, kA + kCrLf);
}

TEST_F(EjecutarScriptTest, AFailingClipboardOrBoxStillEndsTheProgram) {
  for (const char* failing : {"clipboard.clear", "clipboard.set", "box"}) {
    SCOPED_TRACE(failing);
    RecordingWindow window;
    window.lines = {u"x", kLine};
    window.fail_hook = [failing](const std::string& event) {
      if (event.rfind(failing, 0) == 0) throw NumberedError(kErrPathFileAccess, u"busy");
    };
    ModMain module(window, nullptr);
    auto connection = std::make_shared<RecordingConnection>("db", journal_);
    connection->execute_error = [](const std::u16string&) { return u"boom"; };
    module.oConexion = connection;
    connection->BeginTrans();
    std::optional<EndReason> ended;
    try {
      module.EjecutarScript(ScriptPath("sin_go_final.sql"), 1);
    } catch (const ProgramEnded& end) {
      ended = end.reason;
    }
    EXPECT_EQ(ended, std::optional<EndReason>(EndReason::kScriptFailed));
    ASSERT_EQ(window.EventsStartingWith("box").size(), 1u);
    EXPECT_NE(window.EventsStartingWith("box")[0].find("boom Actualizaci"), std::string::npos);
    EXPECT_EQ(window.EventsStartingWith("clipboard").size(), 2u) << "each step is still tried";
    EXPECT_FALSE(connection->in_transaction) << "rolled back";
  }
}

class EjecutarScriptLargeTest : public EjecutarScriptTest {
 protected:
  EjecutarScriptLargeTest() {
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("corvalen-many-" + std::to_string(rd()) + ".sql");
    std::ofstream out(path_, std::ios::binary);
    for (int n = 0; n < kPieces; ++n) out << "SELECT " << n << "\r\nGO\r\n";
  }
  ~EjecutarScriptLargeTest() override {
    std::error_code ec;
    fs::remove(path_, ec);
  }
  static constexpr int kPieces = 40000;
  fs::path path_;
};

TEST_F(EjecutarScriptLargeTest, MoreThan32767PiecesRun) {
  // 40,000 pieces to run (the final piece is the empty text after the last
  // GO): 1,904 full groups and one of 16.
  Outcome outcome = Run(Utf8ToUtf16(path_.string()));
  ASSERT_EQ(outcome.result, std::optional<bool>(true));
  ASSERT_EQ(connection_->executed.size(), 1905u);
  EXPECT_EQ(connection_->executed.back().substr(0, 14), u"\r\nSELECT 39984");
  EXPECT_EQ(window_.do_events_count, 1905);
}

TEST_F(EjecutarScriptLargeTest, AFailureBeyond32767ShowsTheFullIndex) {
  fail_call_ = 1905;
  const std::u16string path = Utf8ToUtf16(path_.string());
  Outcome outcome = Run(path);
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_NE(window_.boxes[0].text.find(u" - Linea: 40000\r\nSELECT 39984\r\n"), std::u16string::npos);
  EXPECT_EQ(outcome.ended, std::optional<EndReason>(EndReason::kScriptFailed));
}


// ---- Real databases ----

// Passes every call on to a real connection and keeps the Execute texts that
// completed.
class TappedConnection : public Connection {
 public:
  explicit TappedConnection(std::shared_ptr<Connection> inner) : inner_(std::move(inner)) {}
  int32_t BeginTrans() override { return inner_->BeginTrans(); }
  void CommitTrans() override { inner_->CommitTrans(); }
  void RollbackTrans() override { inner_->RollbackTrans(); }
  void Execute(const std::u16string& text) override {
    ++calls;
    inner_->Execute(text);
    completed.push_back(text);
  }
  int calls = 0;
  Texts completed;

 private:
  std::shared_ptr<Connection> inner_;
};

// The same scripts through native SQLite and through PostgreSQL over ODBC
// (skipped when CORVALEN_TEST_PG_CONN is not set).
class EjecutarScriptDatabaseTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::random_device rd;
    const std::string tag = std::to_string(getpid()) + "_" + std::to_string(rd() % 100000);
    if (GetParam() == "sqlite") {
      file_ = fs::temp_directory_path() / ("corvalen-script-" + tag + ".db");
      std::ofstream(file_).flush();  // an empty file is an empty database
      inner_ = OpenSqliteConnection(Utf8ToUtf16(file_.string()), SqliteOptions{});
    } else {
      const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
      if (conn == nullptr) GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set";
      OdbcOptions options;
      options.dialect = Dialect::kPostgresql;
      inner_ = OpenOdbcConnection(Utf8ToUtf16(conn), options);
      // A schema of this test's own, so that runs in parallel never meet.
      schema_ = u"corvalen_script_" + Utf8ToUtf16(tag);
      inner_->Execute(u"CREATE SCHEMA " + schema_ + u"; SET search_path TO " + schema_);
    }
    inner_->Execute(u"CREATE TABLE corvalen_filas (n INTEGER)");
    connection_ = std::make_shared<TappedConnection>(inner_);
    module_.oConexion = connection_;
    window_.lines = {u"NCM_bd.sql"};
  }
  void TearDown() override {
    module_.oConexion.reset();
    connection_.reset();
    if (inner_ && !schema_.empty()) inner_->Execute(u"DROP SCHEMA " + schema_ + u" CASCADE");
    inner_.reset();
    std::error_code ec;
    if (!file_.empty()) fs::remove(file_, ec);
  }

  // Whether corvalen_filas holds `rows` rows, asked with statements that both
  // databases run: a CHECK constraint fails unless the count is right.
  bool HasRows(int rows) {
    try {
      inner_->Execute(
          u"CREATE TEMP TABLE corvalen_check (ok INTEGER CHECK (ok = 1));\r\n"
          u"INSERT INTO corvalen_check SELECT CASE WHEN (SELECT count(*) FROM corvalen_filas) = " +
          ToDecimal(rows) + u" THEN 1 ELSE 0 END;");
    } catch (const NumberedError&) {
      // PostgreSQL undoes the whole text, SQLite keeps the table.
      inner_->Execute(u"DROP TABLE IF EXISTS corvalen_check");
      return false;
    }
    inner_->Execute(u"DROP TABLE corvalen_check");
    return true;
  }

  RecordingWindow window_;
  ModMain module_{window_, nullptr};
  std::shared_ptr<Connection> inner_;
  std::shared_ptr<TappedConnection> connection_;
  fs::path file_;
  std::u16string schema_;
};

TEST_P(EjecutarScriptDatabaseTest, AFailingLaterGroupUndoesTheEarlierGroups) {
  const std::u16string path = ScriptPath("bd_falla_tarde.sql");
  connection_->BeginTrans();
  std::optional<EndReason> ended;
  try {
    module_.EjecutarScript(path, 0);
  } catch (const ProgramEnded& end) {
    ended = end.reason;
  }
  EXPECT_EQ(ended, std::optional<EndReason>(EndReason::kScriptFailed));
  // The first group (pieces 0 to 20) ran; the second (21 and 22) failed.
  ASSERT_EQ(connection_->calls, 2);
  ASSERT_EQ(connection_->completed.size(), 1u);
  EXPECT_NE(connection_->completed[0].find(u"VALUES (20);"), std::u16string::npos);
  // Everything the script did is gone.
  EXPECT_TRUE(HasRows(0));
  EXPECT_FALSE(HasRows(21));

  ASSERT_EQ(window_.boxes.size(), 1u);
  const std::u16string& text = window_.boxes[0].text;
  const std::u16string group = u"\r\nINSERT INTO corvalen_filas (n) VALUES (21);\r\n"
                               u"\r\nINSERT INTO corvalen_no_existe (n) VALUES (1);\r\n";
  const std::u16string tail = u" Actualizaci\u00F3n Cancelada. Script: " + path + u" - Linea: 23" + group;
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_NE(text.find(u"corvalen_no_existe"), std::u16string::npos) << "the database's own text";
  EXPECT_EQ(window_.clipboard, group);
}

TEST_P(EjecutarScriptDatabaseTest, ACommittedScriptKeepsItsRows) {
  connection_->BeginTrans();
  EXPECT_TRUE(module_.EjecutarScript(ScriptPath("bd_correcto.sql"), 0));
  connection_->CommitTrans();
  EXPECT_EQ(connection_->completed.size(), 2u);  // pieces 0 to 20, then 21
  EXPECT_TRUE(HasRows(22));
  EXPECT_EQ(window_.lines[0], u"NCM_bd.sql\u2022\u2022\u2022\u2022");
}

INSTANTIATE_TEST_SUITE_P(Databases, EjecutarScriptDatabaseTest,
                         ::testing::Values("sqlite", "postgres"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace corvalen
