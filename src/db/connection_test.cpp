// The cases every connection shares, run on each: SQLite, and ODBC against
// the private PostgreSQL server (skipped without it).
#include "db/connection.h"

#include <gtest/gtest.h>

#include <string>

#include "db/odbc_postgres_test_database.h"
#include "db/sqlite_test_database.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;
using namespace std::string_literals;

// What the cases need of a database: Start (false: not available), Stop,
// Open, Table (a table of columns a integer, b text), Scalar (the first
// column of the first row, read on a connection of its own), Tables (how
// many tables have a name), MissingTable (what a statement on the table
// corvalen_nope fails with).
class Sqlite : public corvalen::testing::SqliteTestDatabase {
 public:
  bool Start() { return true; }
  void Stop() {}
  std::u16string Table() const { return u"t"; }
  std::u16string Scalar(const std::u16string& sql) { return Utf8ToUtf16(Raw(Utf16ToUtf8(sql))); }
  std::u16string Tables(const std::u16string& name) {
    return Scalar(u"SELECT count(*) FROM sqlite_master WHERE name = '" + name + u"'");
  }
  static std::u16string MissingTable() { return u"no such table: corvalen_nope"; }
};

class OdbcPostgres : public corvalen::testing::PostgresTestDatabase {
 public:
  std::shared_ptr<Connection> Open() { return PostgresTestDatabase::Open(); }
  std::u16string Table() const { return table_; }
  std::u16string Tables(const std::u16string& name) {
    return Scalar(u"SELECT count(*) FROM pg_tables WHERE tablename = '" + name + u"'");
  }
  static std::u16string MissingTable() { return u"relation \"corvalen_nope\" does not exist"; }
};

template <class Database>
class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!db_.Start()) GTEST_SKIP() << "no database of this kind (CORVALEN_TEST_PG_CONN unset)";
    t_ = db_.Table();
  }
  void TearDown() override { db_.Stop(); }
  std::u16string Count() { return db_.Scalar(u"SELECT count(*) FROM " + t_); }

  Database db_;
  std::u16string t_;
};

using Databases = ::testing::Types<Sqlite, OdbcPostgres>;
TYPED_TEST_SUITE(ConnectionTest, Databases);

TYPED_TEST(ConnectionTest, RunsEveryStatementOfABatchInOrder) {
  const std::u16string& t = this->t_;
  this->db_.Open()->Execute(
      u"INSERT INTO " + t + u" VALUES (1, 'uno');\r\n"
      u"-- a comment between statements\r\n"
      u"INSERT INTO " + t + u" VALUES (2, 'Año ñandú €');\r\n"
      u"UPDATE " + t + u" SET a = a * 10 WHERE a = 1;\r\n"
      u"SELECT a FROM " + t + u";   /* rows are read and discarded */\r\n"
      u"UPDATE " + t + u" SET a = a + 1 WHERE a = 2");
  EXPECT_EQ(this->db_.Scalar(u"SELECT sum(a) FROM " + t), u"13");
  EXPECT_EQ(this->db_.Scalar(u"SELECT b FROM " + t + u" WHERE a = 3"), u"Año ñandú €");
}

TYPED_TEST(ConnectionTest, AnErrorInTheThirdStatementFailsAndRollbackUndoesTheFirstTwo) {
  const std::u16string& t = this->t_;
  auto db = this->db_.Open();
  EXPECT_EQ(db->BeginTrans(), 1);
  NumberedError error = ErrorOf([&] {
    db->Execute(u"INSERT INTO " + t + u" VALUES (1, 'a'); INSERT INTO " + t +
                u" VALUES (2, 'b'); INSERT INTO corvalen_nope VALUES (3); INSERT INTO " + t +
                u" VALUES (4, 'd')");
  });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_NE(error.description().find(this->db_.MissingTable()), std::u16string::npos)
      << Utf16ToUtf8(error.description());
  db->RollbackTrans();
  EXPECT_EQ(this->Count(), u"0");
}

TYPED_TEST(ConnectionTest, ABatchWithANulCharacterIsRefusedBeforeAnyOfItRuns) {
  const std::u16string& t = this->t_;
  auto db = this->db_.Open();
  db->Execute(u"INSERT INTO " + t + u" VALUES (1, 'a'); INSERT INTO " + t + u" VALUES (2, 'b')");
  // Line ends CR LF, CR and LF: the NUL stands on line 4. A driver would
  // read the text up to the NUL and delete every row.
  NumberedError error = ErrorOf([&] {
    db->Execute(u"INSERT INTO " + t + u" VALUES (3, 'c');\r\n--\r--\nDELETE FROM " + t +
                u"\0 WHERE a = 1"s);
  });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(), u"El texto SQL contiene un carácter nulo en la línea 4 del lote.");
  EXPECT_EQ(this->Count(), u"2");
}

TYPED_TEST(ConnectionTest, CommitIsSeenFromASecondConnectionAndNotBefore) {
  const std::u16string& t = this->t_;
  auto db = this->db_.Open();
  db->BeginTrans();
  db->Execute(u"INSERT INTO " + t + u" VALUES (7, 'x')");
  EXPECT_EQ(this->Count(), u"0");
  db->CommitTrans();
  EXPECT_EQ(this->Count(), u"1");
  // Outside a transaction a statement is permanent at once.
  db->Execute(u"INSERT INTO " + t + u" VALUES (8, 'y')");
  EXPECT_EQ(this->Count(), u"2");
  // A new transaction can follow on the same connection.
  db->BeginTrans();
  db->Execute(u"DELETE FROM " + t);
  db->RollbackTrans();
  EXPECT_EQ(this->Count(), u"2");
}

TYPED_TEST(ConnectionTest, AConnectionGivenUpWithATransactionOpenLeavesNothing) {
  const std::u16string& t = this->t_;
  {
    auto db = this->db_.Open();
    db->BeginTrans();
    db->Execute(u"INSERT INTO " + t + u" VALUES (1, 'a'); CREATE TABLE " + t +
                u"_more (x integer)");
  }
  EXPECT_EQ(this->Count(), u"0");
  EXPECT_EQ(this->db_.Tables(t + u"_more"), u"0");
}

TYPED_TEST(ConnectionTest, TransactionCallsOutOfOrderFail) {
  auto db = this->db_.Open();
  EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }).description(), u"No transaction is active.");
  EXPECT_EQ(ErrorOf([&] { db->RollbackTrans(); }).description(), u"No transaction is active.");
  db->BeginTrans();
  EXPECT_EQ(ErrorOf([&] { db->BeginTrans(); }).description(), u"A transaction is already active.");
  db->CommitTrans();
  EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }).number(), kErrDatabase);
}

}  // namespace
}  // namespace corvalen
