#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "platform/utf.h"
#include "tests/fakes/recording_connection.h"
#include "tests/fakes/recording_window.h"
#include "tests/fakes/temp_folder.h"
#include "update/mod_main.h"

namespace corvalen {
namespace {

using testing::RecordingComponent;
using testing::RecordingWindow;

// SQL Server's transaction count as the run's connection reports it against
// its baseline of 1: BEGIN TRAN raises it, COMMIT lowers it and commits at 1.
// "EXEC confirma" stands for a procedure that commits (what the text does not
// show); a line holding "no_existe" fails its batch.
class CountingConnection : public Connection {
 public:
  int count = 0;
  bool committed = false;

  int32_t BeginTrans() override { return count = 1; }
  void CommitTrans() override { Commit(); }
  void RollbackTrans() override { count = 0; }
  TransactionState CheckTransaction() override {
    if (count < 1) return TransactionState::kEnded;
    return count > 1 ? TransactionState::kNested : TransactionState::kIntact;
  }
  void Execute(const std::u16string& text) override {
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find(u"\r\n", at);
      if (end == std::u16string::npos) end = text.size();
      const std::u16string line = text.substr(at, end - at);
      at = end + 2;
      if (line.starts_with(u"BEGIN TRAN")) ++count;
      if (line.starts_with(u"COMMIT") || line == u"EXEC confirma") Commit();
      if (line.find(u"no_existe") != std::u16string::npos) {
        throw NumberedError(kErrDatabase, u"Invalid object name 'no_existe'.");
      }
    }
  }

 private:
  void Commit() {
    if (count == 1) committed = true;
    if (count > 0) --count;
  }
};

class RehearsalTest : public ::testing::Test {
 protected:
  RehearsalTest()
      : connection_(std::make_shared<CountingConnection>()),
        entities_(std::make_shared<std::map<std::u16string, RecordingComponent::Entity>>()),
        module_(window_, [this] {
          return std::make_shared<RecordingComponent>(
              std::make_shared<testing::Journal>(), entities_);
        }) {
    (*entities_)[u"NCM"].connection = connection_;
    module_.CarpetaScripts = folder_.Utf16();
  }
  ResultadoEnsayo Rehearse() { return module_.EnsayarActualizaciones(window_); }
  std::vector<std::string> Outcomes() const {
    std::vector<std::string> out;
    for (const ScriptRecord& s : module_.run_record.scripts) {
      out.emplace_back(OutcomeName(s.outcome, module_.run_record.mode));
    }
    return out;
  }

  RecordingWindow window_;
  std::shared_ptr<CountingConnection> connection_;
  std::shared_ptr<std::map<std::u16string, RecordingComponent::Entity>> entities_;
  ModMain module_;
  testing::TempFolder folder_{"corvalen-ensayo"};
};

// The rehearsal's own level takes what the text does not show: one hidden
// COMMIT is told as the run would tell it, the level is raised again and the
// entity goes on; a script's own transaction left open is undone the same.
TEST_F(RehearsalTest, OneHiddenCommitOrAnOpenTransactionIsToldAndTheEntityGoesOn) {
  folder_.Write("NCM_1.sql", "EXEC confirma\r\nGO\r\n");
  folder_.Write("NCM_2.sql", "BEGIN TRAN\r\nINSERT INTO t VALUES (1)\r\nGO\r\n");
  folder_.Write("NCM_3.sql", "INSERT INTO no_existe VALUES (1)\r\nGO\r\n");
  folder_.Write("NCM_4.sql", "BEGIN TRAN\r\nINSERT INTO t VALUES (1)\r\nCOMMIT TRAN\r\nGO\r\n");
  const ResultadoEnsayo r = Rehearse();
  EXPECT_EQ(Outcomes(),
            (std::vector<std::string>{"would-fail", "would-fail", "would-fail", "would-apply"}));
  EXPECT_NE(module_.run_record.scripts[0].message.find(u"puede haber quedado aplicado"),
            std::u16string::npos);
  EXPECT_FALSE(r.puede_haber_quedado);
  EXPECT_FALSE(r.entidad_detenida);
  EXPECT_FALSE(connection_->committed);
  EXPECT_TRUE(window_.status.ends_with(u"Nada qued\u00F3 aplicado."));
}

// Where the transaction itself ended, the entity stops; what it ran may have
// stayed only where code the text does not show ran.
TEST_F(RehearsalTest, ATransactionThatEndedStopsTheEntityAndSaysWhatMayHaveStayed) {
  folder_.Write("NCM_1.sql", "INSERT INTO t VALUES (1)\r\nGO\r\n");
  folder_.Write("NCM_2.sql", "EXEC confirma\r\nEXEC confirma\r\nGO\r\n");
  folder_.Write("NCM_3.sql", "INSERT INTO t VALUES (2)\r\nGO\r\n");
  const ResultadoEnsayo r = Rehearse();
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply", "would-fail", "not-rehearsed"}));
  EXPECT_TRUE(r.puede_haber_quedado);
  EXPECT_TRUE(r.entidad_detenida);
  EXPECT_TRUE(module_.run_record.scripts[1].partly_applied);
  EXPECT_NE(window_.status.find(u"puede haber quedado aplicado"), std::u16string::npos);
}

}  // namespace
}  // namespace corvalen
