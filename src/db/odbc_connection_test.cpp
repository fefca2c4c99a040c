#include "db/odbc_connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include CORVALEN_ODBC_HEADERS

#include <chrono>
#include <cstdlib>
#include <random>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "db/odbc_postgres_test_database.h"
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

// Tests against the private PostgreSQL server of scripts/pg-server.sh; the
// cases every connection shares are in connection_test.cpp.
class OdbcPostgresTest : public ::testing::Test, protected corvalen::testing::PostgresTestDatabase {
 protected:
  void SetUp() override {
    if (!Start()) GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set (start scripts/pg-server.sh)";
  }
  void TearDown() override { Stop(); }
};

TEST_F(OdbcPostgresTest, RowsNoticesAndWarningsDoNotStopABatch) {
  auto db = Open();
  db->Execute(u"INSERT INTO " + table_ + u" VALUES (1, 'uno');\r\n" +
              u"SELECT generate_series(1, 5000);\r\n" +  // rows read and discarded
              u"DO $$ BEGIN RAISE NOTICE 'hola'; RAISE WARNING 'cuidado'; END $$;\r\n" +
              u"UPDATE " + table_ + u" SET a = a + 1 WHERE a = 1");
  EXPECT_EQ(Scalar(u"SELECT a FROM " + table_), u"2");

  // An error after a statement that returned rows is not lost.
  NumberedError error =
      ErrorOf([&] { db->Execute(u"SELECT generate_series(1, 100); SELECT 1 / 0"); });
  EXPECT_TRUE(Contains(error.description(), u"division by zero"))
      << Utf16ToUtf8(error.description());
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

TEST_F(OdbcPostgresTest, AFailedCommitCanBeRolledBack) {
  auto db = Open();
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
