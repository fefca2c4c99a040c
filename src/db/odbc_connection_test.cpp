#include "db/odbc_connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include CORVALEN_ODBC_HEADERS

#include <chrono>
#include <cstdlib>
#include <random>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;
using namespace std::string_literals;

bool Contains(const std::u16string& text, const std::u16string& part) {
  return text.find(part) != std::u16string::npos;
}

TEST(OdbcConnectTest, FailuresCarryTheDriversTextWithoutSecrets) {
  // The driver manager repeats the driver's name, here a value to hide.
  OdbcOptions options;
  options.secrets = {u"s3cr3t-driver"};
  NumberedError error =
      ErrorOf([&] { OpenOdbcConnection(u"Driver=s3cr3t-driver;Server=x", options); });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(),
            u"[unixODBC][Driver Manager]Can't open lib '***' : file not found");

  error = ErrorOf([] { OpenOdbcConnection(u"Driver={Pwd=abc};Server=x", {}); });
  EXPECT_FALSE(Contains(error.description(), u"abc")) << Utf16ToUtf8(error.description());

  error = ErrorOf([] { OpenOdbcConnection(u"DSN=corvalen-no-such-dsn", {}); });
  EXPECT_EQ(error.description(),
            u"[unixODBC][Driver Manager]Data source name not found and no default driver "
            u"specified");
}

TEST(OdbcConnectTest, AnUnreachableSqlServerFailsAtOnceWithEveryRecord) {
  // A closed port: refused at once, every diagnostic record in the text.
  NumberedError error = ErrorOf([] {
    OpenOdbcConnection(u"Driver=FreeTDS;Server=127.0.0.1;Port=1;Database=x;UID=sa;"
                       u"PWD=Zq9-very-secret;TDS_Version=7.4",
                       {});
  });
  EXPECT_EQ(error.description(),
            u"[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not "
            u"exist\r\n[FreeTDS][SQL Server]Unable to connect to data source");
}

// Tests against the private PostgreSQL server of scripts/pg-server.sh.
class OdbcPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
    if (conn == nullptr || *conn == '\0') {
      GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set (start scripts/pg-server.sh)";
    }
    conn_ = Utf8ToUtf16(conn);
    std::random_device rd;
    table_ = u"corvalen_t" + ToDecimal(getpid()) + u"_" + ToDecimal(rd() % 100000);
    Open()->Execute(u"CREATE TABLE " + table_ + u" (a integer, b text)");
  }
  void TearDown() override {
    if (!conn_.empty()) Open()->Execute(u"DROP TABLE IF EXISTS " + table_);
  }

  std::shared_ptr<Connection> Open(const OdbcOptions& options = {}) {
    return OpenOdbcConnection(conn_, options);
  }

  // The first column of the first row of `sql`, read as text on a connection
  // of its own.
  std::u16string Scalar(const std::u16string& sql) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::basic_string<SQLWCHAR> c(conn_.begin(), conn_.end());
    std::basic_string<SQLWCHAR> q(sql.begin(), sql.end());
    std::u16string out = u"<no value>";
    if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, c.data(), static_cast<SQLSMALLINT>(c.size()),
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
      SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
      SQLWCHAR buffer[256] = {};
      SQLLEN length = 0;
      if (SQL_SUCCEEDED(SQLExecDirectW(stmt, q.data(), static_cast<SQLINTEGER>(q.size()))) &&
          SQL_SUCCEEDED(SQLFetch(stmt)) &&
          SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof(buffer), &length))) {
        out.assign(buffer, buffer + length / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
      }
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
  }
  std::u16string Count() { return Scalar(u"SELECT count(*) FROM " + table_); }

  std::u16string conn_;
  std::u16string table_;
};

TEST_F(OdbcPostgresTest, RunsABatchOfSeveralStatementsInOrder) {
  auto db = Open();
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'uno');\r\n" +
              u"INSERT INTO " + table_ + u" VALUES (2, 'Año ñandú €');\r\n" +
              u"UPDATE " + table_ + u" SET a = a * 10 WHERE a = 1;\r\n" +
              u"SELECT generate_series(1, 5000);\r\n" +  // rows read and discarded
              u"DO $$ BEGIN RAISE NOTICE 'hola'; RAISE WARNING 'cuidado'; END $$;\r\n" +
              u"UPDATE " + table_ + u" SET a = a + 1 WHERE a = 2");
  EXPECT_EQ(Scalar(u"SELECT string_agg(a::text, ',' ORDER BY a) FROM " + table_), u"3,10");
  EXPECT_EQ(Scalar(u"SELECT b FROM " + table_ + u" WHERE a = 3"), u"Año ñandú €");
}

TEST_F(OdbcPostgresTest, AnErrorInTheThirdStatementFailsAndRollbackUndoesTheFirstTwo) {
  auto db = Open();
  EXPECT_EQ(db->BeginTrans(), 1);
  NumberedError error = ErrorOf([&] {
    db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'a'); INSERT INTO " + table_ +
                u" VALUES (2, 'b'); INSERT INTO corvalen_nope VALUES (3); INSERT INTO " + table_ +
                u" VALUES (4, 'd')");
  });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_TRUE(error.description().starts_with(
      u"ERROR: relation \"corvalen_nope\" does not exist"))
      << Utf16ToUtf8(error.description());
  db->RollbackTrans();
  EXPECT_EQ(Count(), u"0");

  // An error after a statement that returned rows is not lost either.
  error = ErrorOf([&] { db->Execute(u"SELECT generate_series(1, 100); SELECT 1 / 0"); });
  EXPECT_TRUE(Contains(error.description(), u"division by zero"))
      << Utf16ToUtf8(error.description());
}

TEST_F(OdbcPostgresTest, ABatchWithANulCharacterIsRefusedBeforeAnythingIsSent) {
  auto db = Open();
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'a'), (2, 'b')");
  // The driver would read the text up to the NUL and delete every row.
  NumberedError error =
      ErrorOf([&] { db->Execute(u"DELETE FROM " + table_ + u"\0 WHERE a = 1"s); });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(), u"El texto SQL contiene un carácter nulo en la línea 1 del lote.");
  EXPECT_EQ(Count(), u"2");
}

TEST_F(OdbcPostgresTest, ABatchRunningPastTheCommandTimeoutFails) {
  OdbcOptions options;
  options.command_timeout_seconds = 1;
  auto db = Open(options);
  db->BeginTrans();
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'a')");
  const auto start = std::chrono::steady_clock::now();
  NumberedError error = ErrorOf([&] { db->Execute(u"SELECT pg_sleep(5)"); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));
  EXPECT_EQ(error.number(), kErrDatabase);
  // The server's own limit or the watchdog's cancel, whichever comes first.
  EXPECT_TRUE(Contains(error.description(), u"statement timeout") ||
              error.description() == u"Se agot\u00f3 el tiempo de espera del comando (1 s).")
      << Utf16ToUtf8(error.description());
  db->RollbackTrans();
  EXPECT_EQ(Count(), u"0");
}

TEST_F(OdbcPostgresTest, CommitIsSeenFromASecondConnectionAndNotBefore) {
  auto db = Open();
  db->BeginTrans();
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (7, 'x')");
  EXPECT_EQ(Count(), u"0");
  db->CommitTrans();
  EXPECT_EQ(Count(), u"1");
  // Back in autocommit: a statement outside a transaction is permanent at once.
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (8, 'y')");
  EXPECT_EQ(Count(), u"2");
  db->BeginTrans();
  db->Execute(u"DELETE FROM " + table_);
  db->RollbackTrans();
  EXPECT_EQ(Count(), u"2");
}

TEST_F(OdbcPostgresTest, AConnectionGivenUpWithATransactionOpenLeavesNothing) {
  {
    auto db = Open();
    db->BeginTrans();
    db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'a'); CREATE TABLE " + table_ +
                u"_more (x integer)");
  }
  EXPECT_EQ(Count(), u"0");
  EXPECT_EQ(Scalar(u"SELECT count(*) FROM pg_tables WHERE tablename = '" + table_ + u"_more'"),
            u"0");
}

TEST_F(OdbcPostgresTest, TransactionCallsOutOfOrderFailAndAFailedCommitCanBeRolledBack) {
  auto db = Open();
  EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }).description(), u"No transaction is active.");
  EXPECT_EQ(ErrorOf([&] { db->RollbackTrans(); }).description(), u"No transaction is active.");
  db->BeginTrans();
  EXPECT_EQ(ErrorOf([&] { db->BeginTrans(); }).description(), u"A transaction is already active.");
  db->CommitTrans();
  EXPECT_EQ(ErrorOf([&] { db->CommitTrans(); }).number(), kErrDatabase);

  // A deferred constraint fails at commit; the caller's rollback still works.
  db->Execute(u"CREATE TABLE " + table_ + u"_p (a integer PRIMARY KEY); CREATE TABLE " + table_ +
              u"_c (a integer REFERENCES " + table_ + u"_p DEFERRABLE INITIALLY DEFERRED)");
  db->BeginTrans();
  db->Execute(u"INSERT INTO " + table_ + u"_c VALUES (5)");
  NumberedError error = ErrorOf([&] { db->CommitTrans(); });
  EXPECT_TRUE(Contains(error.description(), u"foreign key")) << Utf16ToUtf8(error.description());
  EXPECT_NO_THROW(db->RollbackTrans());
  EXPECT_EQ(Scalar(u"SELECT count(*) FROM " + table_ + u"_c"), u"0");
  db->Execute(u"DROP TABLE " + table_ + u"_c; DROP TABLE " + table_ + u"_p");
}

}  // namespace
}  // namespace corvalen
