#include "db/sqlite_connection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "db/sqlite_test_database.h"
#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;
using namespace std::string_literals;

namespace fs = std::filesystem;

// The cases every connection shares are in connection_test.cpp.
class SqliteConnectionTest : public ::testing::Test,
                             protected corvalen::testing::SqliteTestDatabase {};

TEST_F(SqliteConnectionTest, BlankBatchesRunNothingAndErrorsWhileSteppingFail) {
  auto db = Open();
  db->Execute(u"  \r\n  ");
  db->Execute(u"");
  // An error raised while stepping through rows fails the call as well.
  NumberedError error = ErrorOf([&] { db->Execute(u"SELECT abs(-9223372036854775807 - 1)"); });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(), u"integer overflow");
}

TEST_F(SqliteConnectionTest, ATransactionTheTextBeganIsUndoneWhenTheConnectionIsGivenUp) {
  {
    auto db = Open();
    db->Execute(u"BEGIN; INSERT INTO t VALUES (1, 'a')");
  }
  EXPECT_EQ(Raw("SELECT count(*) FROM t"), "0");
}

TEST_F(SqliteConnectionTest, OnlyAnExistingRegularFileIsOpenedAndNoneIsCreated) {
  const fs::path missing = dir_ / "missing.db";
  NumberedError error = ErrorOf([&] { OpenSqliteConnection(Utf8ToUtf16(missing.string()), {}); });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(),
            u"No existe la base de datos SQLite \"" + Utf8ToUtf16(missing.string()) + u"\".");
  EXPECT_FALSE(fs::exists(missing));

  // Only an existing regular file named by a path: no in-memory or temporary
  // database, no URI, no folder.
  const std::pair<std::u16string, std::u16string> refused[] = {
      {u"", u"no se indicó ningún archivo"},
      {u":memory:", u"\":memory:\" es una base de datos en memoria, no un archivo"},
      {u"File:" + Utf8ToUtf16(file_.string()), u"se indica la ruta de un archivo, no un URI file:"},
      {Utf8ToUtf16(dir_.string()), u"\"" + Utf8ToUtf16(dir_.string()) + u"\" es una carpeta"}};
  for (const auto& [name, reason] : refused) {
    EXPECT_EQ(SqliteFileRefusal(name), reason);
    error = ErrorOf([&] { OpenSqliteConnection(name, {}); });
    EXPECT_EQ(error.number(), kErrDatabase);
    EXPECT_EQ(error.description(), u"No se puede abrir la base de datos SQLite: " + reason + u".");
  }

  const fs::path text = dir_ / "notes.txt";
  std::ofstream(text) << "this is not a database, not even close to one, really";
  EXPECT_EQ(ErrorOf([&] { OpenSqliteConnection(Utf8ToUtf16(text.string()), {}); }).description(),
            u"file is not a database");
}

TEST_F(SqliteConnectionTest, ABatchRunningPastTheCommandTimeoutIsInterrupted) {
  auto db = OpenSqliteConnection(Utf8ToUtf16(file_.string()), SqliteOptions{2000, 1});
  db->BeginTrans();
  db->Execute(u"INSERT INTO t VALUES (1, 'a')");
  const auto start = std::chrono::steady_clock::now();
  NumberedError error = ErrorOf([&] {
    db->Execute(u"WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                u"WHERE x < 100000000) SELECT count(*) FROM c");
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(), u"Se agotó el tiempo de espera del comando (1 s).");
  db->RollbackTrans();
  EXPECT_EQ(Raw("SELECT count(*) FROM t"), "0");
  // The limit is per batch: the next one has its own second.
  db->Execute(u"INSERT INTO t VALUES (2, 'b')");
  EXPECT_EQ(Raw("SELECT count(*) FROM t"), "1");

  // Long function calls, during which SQLite counts no steps: the batch
  // stops at the first statement that begins after the limit.
  db->BeginTrans();
  db->Execute(u"INSERT INTO t VALUES (3, 'c')");
  std::u16string calls;
  for (int i = 0; i < 12; ++i) calls += u"SELECT length(randomblob(150000000));\n";
  EXPECT_EQ(ErrorOf([&] { db->Execute(calls); }).description(),
            u"Se agotó el tiempo de espera del comando (1 s).");
  db->RollbackTrans();
  EXPECT_EQ(Raw("SELECT count(*) FROM t"), "1");
}

TEST_F(SqliteConnectionTest, AScriptCannotEndOrOpenTheTransactionButItsSavepointsWork) {
  auto db = Open();
  const struct {
    const char16_t* statements;
    const char16_t* word;
  } cases[] = {{u"COMMIT; BEGIN", u"COMMIT"},
               {u"END; BEGIN", u"END"},
               {u"ROLLBACK; BEGIN", u"ROLLBACK"},
               {u"/* a comment */ begin transaction", u"begin"}};
  for (const auto& c : cases) {
    db->BeginTrans();
    const NumberedError error = ErrorOf([&] {
      db->Execute(u"INSERT INTO t VALUES (1, 'a');\r\n-- refused:\r\n  "s + c.statements +
                  u";\r\nINSERT INTO t VALUES (2, 'b')");
    });
    EXPECT_EQ(error.description(),
              u"Un script no puede terminar ni abrir la transacción de la actualización: "s +
                  c.word +
                  u", en la línea 3 del lote, no se ejecutó (los puntos de guardado SAVEPOINT, "
                  u"RELEASE y ROLLBACK TO sí se admiten).");
    EXPECT_EQ(db->CheckTransaction(), TransactionState::kIntact);
    db->RollbackTrans();
  }
  EXPECT_EQ(Raw("SELECT count(*) FROM t"), "0");

  db->BeginTrans();
  db->Execute(u"SAVEPOINT s; INSERT INTO t VALUES (1, 'a'); ROLLBACK TO s; INSERT INTO t VALUES "
              u"(2, 'b'); RELEASE s; SAVEPOINT u; INSERT INTO t VALUES (3, 'c'); RELEASE u");
  EXPECT_EQ(db->CheckTransaction(), TransactionState::kIntact);
  db->CommitTrans();
  EXPECT_EQ(Raw("SELECT group_concat(a) FROM t"), "2,3");
}

TEST_F(SqliteConnectionTest, ACancelThatLandsBetweenTwoStatementsStopsTheBatch) {
  // Statements that take next to no time to run behind blanks that only the
  // parser reads: a cancel nearly always lands while no statement runs,
  // where SQLite forgets its interrupt at the next statement's start.
  std::u16string batch;
  for (int i = 0; i < 1000000; ++i) batch += u"SELECT 1;          \n";
  auto db = Open();
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::thread cancel([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      db->Cancel();
    });
    EXPECT_EQ(ErrorOf([&] { db->Execute(batch); }).description(), u"interrupted");
    cancel.join();
  }
}

TEST_F(SqliteConnectionTest, ALockedDatabaseIsWaitedForUpToTheBusyTimeout) {
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(file_.string().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  auto impatient = Open(50);
  EXPECT_EQ(ErrorOf([&] { impatient->BeginTrans(); }).description(), u"database is locked");

  // The lock goes away while the connection waits: it gets the lock.
  auto patient = Open(20000);
  std::thread release([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  });
  EXPECT_NO_THROW(patient->BeginTrans());
  release.join();
  patient->RollbackTrans();
  sqlite3_close(holder);
}

}  // namespace
}  // namespace corvalen
