#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "platform/path.h"
#include "platform/utf.h"
#include "tests/fakes/recording_connection.h"
#include "tests/fakes/recording_window.h"
#include "update/mod_main.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using testing::Journal;
using testing::RecordingComponent;
using testing::RecordingConnection;
using testing::RecordingWindow;

const std::u16string kBullet = u"\u2022";

// A scripts folder, a recording window and a component whose entities are
// recording connections; the journal shows every database call in order.
class RunTest : public ::testing::Test {
 protected:
  RunTest()
      : journal_(std::make_shared<Journal>()),
        entities_(std::make_shared<std::map<std::u16string, RecordingComponent::Entity>>()),
        module_(window_, [this] {
          ++components_created_;
          auto component = std::make_shared<RecordingComponent>(journal_, entities_);
          component->errors = component_errors_;
          return component;
        }) {
    module_.CarpetaScripts = folder_.Utf16();
  }

  void Script(const std::string& name, const std::string& text) { folder_.Write(name, text); }
  std::shared_ptr<RecordingConnection> Entity(const std::u16string& name) {
    auto connection = std::make_shared<RecordingConnection>(Utf16ToUtf8(name), journal_);
    (*entities_)[name].connection = connection;
    return connection;
  }
  void Unreachable(const std::u16string& name) { (*entities_)[name].connection = nullptr; }

  // Runs to the end of the program; returns how it ended, or nothing when the
  // run returned to its caller.
  std::optional<EndReason> Run() {
    try {
      module_.EjecutarActualizaciones(window_);
    } catch (const ProgramEnded& end) {
      module_.ReleaseObjects();
      return end.reason;
    }
    return std::nullopt;
  }
  // Journal lines without the component's calls. (The test keeps a reference
  // to every connection, so none is released during the run.)
  std::vector<std::string> DatabaseCalls() const {
    std::vector<std::string> out;
    for (const auto& line : *journal_) {
      if (line.rfind("component.", 0) != 0) out.push_back(line);
    }
    return out;
  }

  RecordingWindow window_;
  std::shared_ptr<Journal> journal_;
  std::shared_ptr<std::map<std::u16string, RecordingComponent::Entity>> entities_;
  std::map<std::string, std::u16string> component_errors_;
  int components_created_ = 0;
  ModMain module_;
  testing::TempFolder folder_{"corvalen-run"};
};

TEST_F(RunTest, EmptyFolderCompletesWithoutConnecting) {
  EXPECT_EQ(Run(), EndReason::kCompleted);
  EXPECT_EQ(components_created_, 0);
  EXPECT_EQ(module_.Finalizado, kTrue);
  EXPECT_EQ(window_.status, u"Actualizacion completada, esta ventana se cerrará automaticamente.");
  EXPECT_EQ(window_.status_prg, u"Buscando actualizaciones ... ");
  EXPECT_EQ(window_.progress_max, 100);
  EXPECT_EQ(window_.paused_ms, 3000);
  // The caption is painted before the pause, and the end follows the pause.
  auto n = window_.events.size();
  ASSERT_GE(n, 4u);
  EXPECT_EQ(window_.events[n - 4].rfind("status Actualizacion completada", 0), 0u);
  EXPECT_EQ(window_.events[n - 3], "do_events");
  EXPECT_EQ(window_.events[n - 2], "pause 3000");
  EXPECT_EQ(window_.events[n - 1], "end 0");
}

TEST_F(RunTest, OneEntityThreeScriptsEachInItsOwnTransaction) {
  Script("NCM_1.sql", "A\r\nGO\r\n");
  Script("NCM_2.sql", "B\r\nGO\r\n");
  Script("NCM_3.sql", "C\r\nGO\r\n");
  Entity(u"NCM");
  EXPECT_EQ(Run(), EndReason::kCompleted);
  EXPECT_EQ(components_created_, 1);
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{
                                 "NCM.BeginTrans", "NCM.Execute A\r\n", "NCM.CommitTrans",
                                 "NCM.BeginTrans", "NCM.Execute B\r\n", "NCM.CommitTrans",
                                 "NCM.BeginTrans", "NCM.Execute C\r\n", "NCM.CommitTrans"}));
  EXPECT_EQ(window_.lines,
            (std::vector<std::u16string>{u"NCM_1.sql " + kBullet + kBullet + kBullet + u" OK.",
                                         u"NCM_2.sql" + kBullet + kBullet + u" OK.",
                                         u"NCM_3.sql" + kBullet + kBullet + u" OK."}));
  EXPECT_EQ(window_.status_prg, u"Ejecutando actualización 3 de 3");
  EXPECT_EQ(window_.progress_value, 3);
  // Each script's end is told before the bar moves past it.
  EXPECT_EQ(window_.EventsStartingWith("progress.value"),
            (std::vector<std::string>{"progress.value 1", "progress.value 2", "progress.value 3"}));
  const auto ends = window_.EventsStartingWith("script.ended");
  EXPECT_EQ(ends, (std::vector<std::string>{"script.ended 0", "script.ended 1", "script.ended 2"}));
  const auto told = std::find(window_.events.begin(), window_.events.end(), "script.ended 1");
  ASSERT_NE(told, window_.events.end());
  EXPECT_EQ(*std::next(told), "progress.value 2");
  EXPECT_TRUE(window_.boxes.empty());
  EXPECT_EQ(module_.HuboErrores, kFalse);
}

TEST_F(RunTest, EntityChangeClosesAnEmptyTransactionOnThePreviousConnection) {
  Script("CATALOGOS_1.sql", "A\r\nGO\r\n");
  Script("NCM_1.sql", "B\r\nGO\r\n");
  Script("PERSONAL_1.sql", "C\r\nGO\r\n");
  Entity(u"CATALOGOS");
  Entity(u"NCM");
  Entity(u"PERSONAL");
  EXPECT_EQ(Run(), EndReason::kCompleted);
  EXPECT_EQ(components_created_, 3);
  EXPECT_EQ(DatabaseCalls(),
            (std::vector<std::string>{
                "CATALOGOS.BeginTrans", "CATALOGOS.Execute A\r\n", "CATALOGOS.CommitTrans",
                "CATALOGOS.BeginTrans", "CATALOGOS.CommitTrans",  // the empty transaction
                "NCM.BeginTrans", "NCM.Execute B\r\n", "NCM.CommitTrans",
                "NCM.BeginTrans", "NCM.CommitTrans",
                "PERSONAL.BeginTrans", "PERSONAL.Execute C\r\n", "PERSONAL.CommitTrans"}));
  EXPECT_EQ(window_.lines[0], u"CATALOGOS_1.sql " + kBullet + kBullet + kBullet + u" OK.");
  EXPECT_EQ(window_.lines[1], u"NCM_1.sql" + kBullet + kBullet + u" OK.");
}

TEST_F(RunTest, OnlyEntryUnreachableWaitsForEsc) {
  Script("HISTORIAL_1.sql", "A\r\nGO\r\n");
  Unreachable(u"HISTORIAL");
  EXPECT_EQ(Run(), std::nullopt);
  ASSERT_EQ(window_.boxes.size(), 2u);
  EXPECT_EQ(window_.boxes[0].icon, MessageIcon::kExclamation);  // the entity's own report
  EXPECT_NE(window_.boxes[0].text.find(u"Entidad buscada:HISTORIAL"), std::u16string::npos);
  EXPECT_EQ(window_.boxes[1].text,
            u"Error estableciendo conexion con la entidad HISTORIAL en el archivo HISTORIAL_1.sql "
            u"verifique que tiene acceso a la base de datos o el archivo quorvex se encuentre bien "
            u"configurado. Se omitira las actualizaciones para esta entidad");
  EXPECT_EQ(window_.boxes[1].title, u"CorvalenSQL v." CORVALEN_VERSION);
  EXPECT_EQ(window_.boxes[1].icon, MessageIcon::kCritical);
  EXPECT_EQ(window_.lines[0], u"HISTORIAL_1.sql ERROR!");
  EXPECT_EQ(window_.status, u"Se han producido errores , pulse [Esc] para salir.");
  EXPECT_EQ(module_.HuboErrores, kTrue);
  EXPECT_EQ(module_.Finalizado, kTrue);
  EXPECT_EQ(window_.paused_ms, 0);
  EXPECT_EQ(window_.progress_value, 1);
}

TEST_F(RunTest, ScriptsOfAFailedFirstEntityAreSkippedAndTheNextEntityConnects) {
  Script("CATALOGOS_1.sql", "A\r\nGO\r\n");
  Script("CATALOGOS_2.sql", "B\r\nGO\r\n");
  Script("NCM_1.sql", "C\r\nGO\r\n");
  Unreachable(u"CATALOGOS");
  Entity(u"NCM");
  EXPECT_EQ(Run(), std::nullopt);
  EXPECT_EQ(components_created_, 2) << "no second attempt for CATALOGOS";
  EXPECT_EQ(window_.boxes.size(), 2u) << "one report and one failure box, not repeated";
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{"NCM.BeginTrans", "NCM.Execute C\r\n",
                                                       "NCM.CommitTrans"}));
  EXPECT_EQ(window_.lines,
            (std::vector<std::u16string>{u"CATALOGOS_1.sql ERROR!", u"CATALOGOS_2.sql ERROR!",
                                         u"NCM_1.sql" + kBullet + kBullet + u" OK."}));
  EXPECT_EQ(window_.progress_value, 3);
  EXPECT_EQ(window_.status, u"Se han producido errores , pulse [Esc] para salir.");
}

TEST_F(RunTest, AnEntityFailingInTheMiddleIsSkippedAndTheRunGoesOn) {
  Script("CATALOGOS_1.sql", "A\r\nGO\r\n");
  Script("NCM_1.sql", "B\r\nGO\r\n");
  Script("NCM_2.sql", "B2\r\nGO\r\n");
  Script("PERSONAL_1.sql", "C\r\nGO\r\n");
  Entity(u"CATALOGOS");
  Unreachable(u"NCM");
  Entity(u"PERSONAL");
  EXPECT_EQ(Run(), std::nullopt);
  EXPECT_EQ(components_created_, 3);
  EXPECT_EQ(window_.boxes.size(), 2u);
  EXPECT_EQ(DatabaseCalls(),
            (std::vector<std::string>{
                "CATALOGOS.BeginTrans", "CATALOGOS.Execute A\r\n", "CATALOGOS.CommitTrans",
                "CATALOGOS.BeginTrans", "CATALOGOS.CommitTrans",
                "PERSONAL.BeginTrans", "PERSONAL.Execute C\r\n", "PERSONAL.CommitTrans"}));
  EXPECT_EQ(window_.lines[1], u"NCM_1.sql ERROR!");
  EXPECT_EQ(window_.lines[2], u"NCM_2.sql ERROR!");
  EXPECT_EQ(window_.lines[3], u"PERSONAL_1.sql" + kBullet + kBullet + u" OK.");
  EXPECT_EQ(module_.HuboErrores, kTrue);
}

TEST_F(RunTest, AFailingScriptIsRolledBackAndEndsTheRun) {
  Script("NCM_1.sql", "A\r\nGO\r\n");
  Script("NCM_2.sql", "BAD\r\nGO\r\n");
  Script("NCM_3.sql", "C\r\nGO\r\n");
  auto ncm = Entity(u"NCM");
  ncm->execute_error = [](const std::u16string& text) {
    return text.find(u"BAD") != std::u16string::npos ? u"syntax error" : u"";
  };
  EXPECT_EQ(Run(), EndReason::kScriptFailed);
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{
                                 "NCM.BeginTrans", "NCM.Execute A\r\n", "NCM.CommitTrans",
                                 "NCM.BeginTrans", "NCM.Execute BAD\r\n", "NCM.RollbackTrans"}));
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].title, u"\u00a1Atencion!");
  EXPECT_EQ(window_.clipboard, u"BAD\r\n");
  EXPECT_EQ(module_.Finalizado, kFalse);
  EXPECT_TRUE(window_.status.empty());
}

TEST_F(RunTest, AccessTagEndsTheProgramBeforeAnyScript) {
  Script("CATALOGOS_1.sql", "A\r\nGO\r\n");
  Script("NCM_1.sql", "B\r\nGO\r\n");
  Entity(u"CATALOGOS");
  Entity(u"NCM");
  (*entities_)[u"NCM"].tag = u"ACCESS";
  EXPECT_EQ(Run(), EndReason::kAccessTag);
  EXPECT_TRUE(window_.boxes.empty());
  // The first entity's script ran and was committed; the empty transaction
  // of the entity change was committed too; nothing ran on NCM.
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{
                                 "CATALOGOS.BeginTrans", "CATALOGOS.Execute A\r\n",
                                 "CATALOGOS.CommitTrans", "CATALOGOS.BeginTrans",
                                 "CATALOGOS.CommitTrans"}));
}

TEST_F(RunTest, ARefusedCommitOrATransactionTheScriptClosedFailsTheScript) {
  Script("NCM_1.sql", "A\r\nGO\r\nB\r\nGO\r\n");
  Script("NCM_2.sql", "COMMIT\r\nGO\r\nC\r\nGO\r\n");
  auto ncm = Entity(u"NCM");
  ncm->fail_operation = [](const std::string& op) { return op == "CommitTrans"; };
  EXPECT_EQ(Run(), EndReason::kScriptFailed);
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{"NCM.BeginTrans", "NCM.Execute A\r\n\r\nB\r\n",
                                                       "NCM.CommitTrans", "NCM.RollbackTrans"}));
  ASSERT_EQ(window_.boxes.size(), 1u);
  const std::u16string path = folder_.Utf16() + kPathSeparator + u"NCM_1.sql";
  EXPECT_EQ(window_.boxes[0].text,
            u"No se pudo confirmar la transacci\u00f3n del script: CommitTrans failed "
            u"Actualizaci\u00f3n Cancelada. Script: " + path + u" - Linea: 2");
  EXPECT_EQ(window_.boxes[0].title, u"\u00a1Atencion!");
  EXPECT_EQ(window_.lines[0], u"NCM_1.sql " + kBullet + kBullet + kBullet + u" ERROR!");
  EXPECT_EQ(module_.run_record.scripts[0].outcome, ScriptOutcome::kFailed);
  EXPECT_EQ(module_.run_record.scripts[0].message.substr(0, 20), u"No se pudo confirmar");

}

TEST_F(RunTest, AGroupThatClosedTheTransactionFailsTheScriptThere) {
  Script("NCM_1.sql", "COMMIT\r\nGO\r\nCREATE PROCEDURE p\r\nGO\r\n");
  auto ncm = Entity(u"NCM");
  ncm->execute_error = [&](const std::u16string& text) {
    if (text.find(u"COMMIT") != std::u16string::npos) ncm->after_batch = TransactionState::kEnded;
    return u"";
  };
  EXPECT_EQ(Run(), EndReason::kScriptFailed);
  EXPECT_EQ(DatabaseCalls(), (std::vector<std::string>{"NCM.BeginTrans", "NCM.Execute COMMIT\r\n",
                                                       "NCM.RollbackTrans"}));
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text.rfind(
                u"La transacci\u00f3n de la actualizaci\u00f3n termin\u00f3 dentro del script "
                u"(su propio COMMIT, o un ROLLBACK que no se distingue de uno): se la encontr\u00f3 "
                u"terminada despu\u00e9s del grupo de las l\u00edneas 1-1, y lo que el script "
                u"ejecut\u00f3 hasta ah\u00ed puede haber quedado aplicado. Actualizaci",
                0),
            0u);
  EXPECT_TRUE(module_.run_record.scripts[0].partly_applied);
  EXPECT_EQ(window_.clipboard, u"COMMIT\r\n");
  EXPECT_EQ(window_.lines[0], u"NCM_1.sql " + kBullet + kBullet + u" ERROR!");
}

TEST_F(RunTest, AFailedRollbackIsAddedToTheFailureNotPutInItsPlace) {
  Script("NCM_1.sql", "A\r\nGO\r\n");
  auto ncm = Entity(u"NCM");
  // A BEGIN that fails (a locked database) leaves no transaction to undo.
  ncm->fail_operation = [](const std::string& op) { return op == "BeginTrans"; };
  EXPECT_EQ(Run(), EndReason::kFailure);
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text,
            u"BeginTrans failed (RollbackTrans: No transaction is active.)\r\n"
            u"in CorvalenSQL.Mod_Main.EjecutarActualizaciones at line 140");
  EXPECT_EQ(module_.Finalizado, kFalse);
}

TEST_F(RunTest, CaptionsCountTwelveScripts) {
  for (int i = 1; i <= 12; ++i) Script("SYSTABLAS_" + std::to_string(100 + i) + ".sql", "X\r\nGO\r\n");
  Entity(u"SYSTABLAS");
  EXPECT_EQ(Run(), EndReason::kCompleted);
  auto captions = window_.EventsStartingWith("status_prg Ejecutando");
  ASSERT_EQ(captions.size(), 12u);
  EXPECT_EQ(captions[2], "status_prg Ejecutando actualización 3 de 12");
  EXPECT_EQ(captions[11], "status_prg Ejecutando actualización 12 de 12");
  EXPECT_EQ(window_.progress_value, 12);
}

}  // namespace
}  // namespace corvalen
