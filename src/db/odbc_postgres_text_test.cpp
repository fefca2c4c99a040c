// What PostgreSQL's connection tells about how the server reads text, and
// what it keeps of a call that commits in the middle.
#include <gtest/gtest.h>

#include <string>

#include "db/odbc_postgres_test_database.h"
#include "platform/numbered_error.h"

namespace corvalen {
namespace {

class OdbcPostgresTextTest : public ::testing::Test,
                             protected corvalen::testing::PostgresTestDatabase {
 protected:
  void SetUp() override {
    if (!Start()) GTEST_SKIP() << "CORVALEN_TEST_PG_CONN is not set (start scripts/pg-server.sh)";
  }
  void TearDown() override { Stop(); }
};

TEST_F(OdbcPostgresTextTest, BackslashStringsFollowStandardConformingStrings) {
  std::shared_ptr<Connection> connection = Open();
  EXPECT_FALSE(connection->BackslashStrings());
  connection->Execute(u"SET standard_conforming_strings = off");
  EXPECT_TRUE(connection->BackslashStrings());
  connection->BeginTrans();
  connection->Execute(u"SELECT set_config('standard_conforming_strings', 'on', true)");
  EXPECT_FALSE(connection->BackslashStrings());
  connection->RollbackTrans();
  EXPECT_TRUE(connection->BackslashStrings());
}

// Without the run's refusal: a call holding a COMMIT followed by more
// statements. What the README states about PostgreSQL rests on this.
TEST_F(OdbcPostgresTextTest, WhatACommitInTheMiddleOfACallKeeps) {
  const std::u16string insert = u"INSERT INTO " + table_ + u" VALUES ";
  {
    // The call succeeds; the run's later rollback undoes nothing of it.
    std::shared_ptr<Connection> connection = Open();
    connection->BeginTrans();
    connection->Execute(insert + u"(1); COMMIT; " + insert + u"(2);");
    connection->Execute(insert + u"(3);");
    connection->RollbackTrans();
    EXPECT_EQ(Scalar(u"SELECT string_agg(a::text, ',' ORDER BY a) FROM " + table_), u"1,2");
  }
  Open()->Execute(u"DELETE FROM " + table_);
  {
    // The call fails after the COMMIT: what came before it stays.
    std::shared_ptr<Connection> connection = Open();
    connection->BeginTrans();
    EXPECT_THROW(connection->Execute(insert + u"(1); COMMIT; " + insert + u"(2); SELECT 1/0;"),
                 NumberedError);
    connection->RollbackTrans();
    EXPECT_EQ(Scalar(u"SELECT string_agg(a::text, ',' ORDER BY a) FROM " + table_), u"1");
  }
}

}  // namespace
}  // namespace corvalen
