// The ODBC connection against SQL Server's protocol: the real FreeTDS driver
// talking to the TDS test server (tests/tds), whose journal shows what the
// driver sent.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "db/command_watchdog.h"
#include "db/odbc_connection.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/tds/tds_test_server.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;
using corvalen::testing::TdsTestServer;
using Journal = std::vector<std::string>;
using namespace std::string_literals;

constexpr char16_t kDriver[] = u"[FreeTDS][SQL Server]";

// The description Execute raises, "" when it does not fail.
std::u16string Outcome(Connection& db, const std::u16string& batch) {
  try {
    db.Execute(batch);
  } catch (const NumberedError& e) {
    return e.description();
  }
  return u"";
}

// Every case on each TDS version the driver speaks differently, and with
// answers split into the smallest packets.
struct Wire {
  const char* version;
  uint32_t packet_size;
};
class OdbcTdsTest : public ::testing::TestWithParam<Wire> {
 protected:
  OdbcTdsTest() : server_(GetParam().packet_size) {}
  std::shared_ptr<Connection> Open(int32_t command_timeout = 0) {
    OdbcOptions options;
    options.command_timeout_seconds = command_timeout;
    return OpenOdbcConnection(
        Utf8ToUtf16(server_.ConnectionString("CATALOGOS", GetParam().version)), options);
  }
  TdsTestServer server_;
};
INSTANTIATE_TEST_SUITE_P(Versions, OdbcTdsTest,
                         ::testing::Values(Wire{"7.4", 0}, Wire{"7.1", 0}, Wire{"7.4", 512}),
                         [](const auto& info) {
                           std::string name = std::string("Tds") + info.param.version + "_" +
                                              std::to_string(info.param.packet_size);
                           return name.replace(4, 1, "");
                         });

TEST_P(OdbcTdsTest, EveryFailureOfABatchFailsItAndNamesItsLine) {
  const std::u16string no_reason = u"El servidor dio el lote por fallido sin decir por qué.";
  const struct {
    std::u16string batch;
    std::u16string failure;  // "" for a batch that succeeds
  } cases[] = {
      {u"INSERT INTO t VALUES (1)\r\nINSERT INTO no_existe VALUES (2)\r\nINSERT INTO t VALUES (3)",
       kDriver + u"Invalid object name 'no_existe'., Line 2"s},
      {u"INSERT INTO no_existe VALUES (1)\r\nINSERT INTO t VALUES (2)",
       kDriver + u"Invalid object name 'no_existe'., Line 1"s},
      {u"INSERT INTO t VALUES (1)\r\nEXEC tds_done_error\r\nINSERT INTO t VALUES (3)", no_reason},
      {u"EXEC tds_done_error\r\nINSERT INTO t VALUES (2)", no_reason},
      {u"INSERT INTO t VALUES (1)\r\nEXEC tds_rows_error 300",
       kDriver + u"Divide by zero error encountered., Line 2"s},
      // The line the driver names, not the one in the message's own data.
      {u"\r\nRAISERROR('Valor (Line 12) repetido', 16, 1)",
       kDriver + u"Valor (Line 12) repetido, Line 2"s},
      // Messages are not failures; rows are read to the end.
      {u"PRINT 'hola'\r\nRAISERROR('aviso', 10, 1)\r\nUSE CATALOGOS\r\nEXEC tds_rows 2000", u""},
  };
  auto db = Open();
  for (const auto& c : cases) {
    EXPECT_EQ(Outcome(*db, c.batch), c.failure) << Utf16ToUtf8(c.batch);
  }
  // A batch many packets long arrives whole.
  std::u16string long_batch;
  while (long_batch.size() < 40000) long_batch += u"INSERT INTO t VALUES (N'ñandú €')\r\n";
  EXPECT_EQ(Outcome(*db, long_batch), u"");
  EXPECT_EQ(server_.Batches().back(), Utf16ToUtf8(long_batch));
}

TEST_P(OdbcTdsTest, TransactionsAsTheDriverSendsThem) {
  auto db = Open();
  db->BeginTrans();
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kIntact);
  db->Execute(u"INSERT INTO t VALUES (1)");
  db->CommitTrans();
  const std::string baseline =
      "SET IMPLICIT_TRANSACTIONS ON\r\nIF @@TRANCOUNT = 0 SELECT TOP (0) 1 FROM sys.objects\r\n"
      "SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2";
  const std::string check = "SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2";
  const Journal tds72 = {"login CATALOGOS",
                         "batch: SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2",
                         "tm begin",
                         "tx batch: " + baseline,
                         "tx batch: " + check,
                         "tx batch: INSERT INTO t VALUES (1)",
                         "tx batch: SET IMPLICIT_TRANSACTIONS OFF",
                         "tm commit+begin",
                         "tm rollback"};
  const Journal tds71 = {"login CATALOGOS",
                         "batch: SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2",
                         "batch: BEGIN TRANSACTION",
                         "batch: " + baseline,
                         "batch: " + check,
                         "batch: INSERT INTO t VALUES (1)",
                         "batch: SET IMPLICIT_TRANSACTIONS OFF",
                         "batch: IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION",
                         "batch: IF @@TRANCOUNT > 0 ROLLBACK"};
  EXPECT_EQ(server_.Journal(), std::string(GetParam().version) == "7.1" ? tds71 : tds72);
  EXPECT_EQ(server_.Kept(), Journal{"INSERT INTO t VALUES (1)"});
}

// What a script's batch does to the run's transaction, as the check after
// it tells, and what stays once the run has rolled back.
TEST_P(OdbcTdsTest, TheCheckAfterABatchSeesWhatTheScriptDidToTheTransaction) {
  const struct {
    const char16_t* batch;
    TransactionState state;
    Journal kept;
  } cases[] = {
      {u"BEGIN TRAN\r\nINSERT INTO t VALUES (1)", TransactionState::kNested, {}},
      {u"BEGIN TRAN\r\nINSERT INTO t VALUES (1)\r\nCOMMIT TRAN", TransactionState::kIntact, {}},
      {u"SAVE TRANSACTION s\r\nINSERT INTO t VALUES (1)\r\nROLLBACK TRANSACTION s",
       TransactionState::kIntact, {}},
      // Implicit transactions: what follows the script's ROLLBACK opens a
      // new transaction, which the run rolls back.
      {u"INSERT INTO t VALUES (1)\r\nROLLBACK\r\nINSERT INTO t VALUES (2)",
       TransactionState::kEnded, {}},
      {u"INSERT INTO t VALUES (1)\r\nCOMMIT\r\nBEGIN TRAN\r\nINSERT INTO t VALUES (2)",
       TransactionState::kEnded, {"INSERT INTO t VALUES (1)"}},
      {u"INSERT INTO t VALUES (1)\r\nCOMMIT", TransactionState::kEnded, {"INSERT INTO t VALUES (1)"}},
  };
  auto db = Open();
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.batch));
    server_.ClearJournal();
    db->BeginTrans();
    db->Execute(c.batch);
    EXPECT_EQ(db->CheckTransaction(), c.state);
    try {
      db->RollbackTrans();
    } catch (const NumberedError& e) {
      ADD_FAILURE() << Utf16ToUtf8(e.description());
    }  // also where the script left none to roll back
    EXPECT_EQ(server_.Kept(), c.kept);
  }
  // A script that turned implicit transactions off has them back before its
  // next group.
  server_.ClearJournal();
  db->BeginTrans();
  db->Execute(u"SET IMPLICIT_TRANSACTIONS OFF");
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kIntact);
  EXPECT_EQ(server_.Batches().back(), "SET IMPLICIT_TRANSACTIONS ON");
  db->Execute(u"ROLLBACK\r\nINSERT INTO t VALUES (3)");
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kEnded);
  db->RollbackTrans();  // also where the script left none to roll back
  EXPECT_EQ(server_.Kept(), Journal{});

  // Under XACT_ABORT an error dooms the transaction; the server rolls it
  // back at the end of the call (Msg 3998), so the client sees count 0.
  db->BeginTrans();
  EXPECT_NE(Outcome(*db, u"SET XACT_ABORT ON\r\nINSERT INTO t VALUES (4)\r\n"
                         u"INSERT INTO no_existe VALUES (5)\r\nINSERT INTO t VALUES (6)")
                .find(u"Uncommittable transaction is detected at the end of the batch."),
            std::u16string::npos);
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kEnded);
  db->RollbackTrans();
  EXPECT_EQ(server_.Kept(), Journal{});
}

TEST(OdbcTdsOldServerTest, WithoutTransactionIdsTheCountAloneTells) {
  TdsTestServer server;
  server.WithoutTransactionIds();
  auto db = OpenOdbcConnection(Utf8ToUtf16(server.ConnectionString("NCM")), {});
  db->BeginTrans();
  db->Execute(u"INSERT INTO t VALUES (1)");
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kIntact);
  db->Execute(u"COMMIT");
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kEnded);
  EXPECT_EQ(server.Batches().back(), "SELECT @@TRANCOUNT, 0, @@OPTIONS & 2");
}

TEST_P(OdbcTdsTest, ATimeOutCancelsAndALostServerEndsTheBatchAtOnce) {
  auto db = Open(/*command_timeout=*/1);
  const auto start = std::chrono::steady_clock::now();
  // The driver's own time-out or the watchdog's cancel, whichever comes first.
  auto timed_out = [](const std::u16string& text) {
    const std::u16string first = text.substr(0, text.find(u"\r\n"));
    return first == kDriver + u"Timeout expired"s || first == CommandTimeoutText(1);
  };
  const std::u16string timeout =
      Outcome(*db, u"INSERT INTO t VALUES (1)\r\nWAITFOR DELAY '00:00:30'");
  EXPECT_TRUE(timed_out(timeout)) << Utf16ToUtf8(timeout);
  EXPECT_EQ(server_.Journal().back(), "attention");
  EXPECT_EQ(Outcome(*db, u"PRINT 'sigue'"), u"") << "the connection stays usable";

  // A server that answers nothing, not even the cancel: the driver gives the
  // connection up after a second time-out, within the watchdog's grace.
  const std::u16string deaf = Outcome(*db, u"EXEC tds_deaf 20");
  EXPECT_TRUE(timed_out(deaf)) << Utf16ToUtf8(deaf);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));

  auto closing = Open();
  EXPECT_EQ(Outcome(*closing, u"INSERT INTO t VALUES (1)\r\nEXEC tds_close"),
            kDriver + u"Unknown error\r\nSe perdió la conexión con el servidor."s);
}

TEST_P(OdbcTdsTest, EachTransactionStartsInTheConnectionsOwnDatabase) {
  auto db = Open();
  db->BeginTrans();
  db->Execute(u"USE master");
  db->CommitTrans();
  db->BeginTrans();
  db->Execute(u"INSERT INTO t VALUES (1)");
  db->RollbackTrans();
  // The driver sends the change of database as a batch of its own before the
  // transaction begins.
  Journal uses;
  for (const std::string& batch : server_.Batches()) {
    if (batch.starts_with("USE") || batch.starts_with("INSERT")) uses.push_back(batch);
  }
  EXPECT_EQ(uses, (Journal{"USE master", "USE [CATALOGOS]", "INSERT INTO t VALUES (1)"}));
}

TEST(OdbcTdsConnectTest, APasswordInBracesAtTheEndArrivesWithoutItsBrace) {
  TdsTestServer server;
  for (const char* password : {"{s3cret}", "{s3;cret}"}) {
    OpenOdbcConnection(Utf8ToUtf16(server.ConnectionString("NCM", "7.4", password)), {});
  }
  ASSERT_EQ(server.Logins().size(), 2u);
  EXPECT_EQ(server.Logins()[0].password, "s3cret");
  EXPECT_EQ(server.Logins()[1].password, "s3;cret");
}

}  // namespace
}  // namespace corvalen
