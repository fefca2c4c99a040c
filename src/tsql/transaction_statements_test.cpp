#include "tsql/transaction_statements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/utf.h"

namespace corvalen {
namespace {

// The names of the transaction statements of `text` read as one call,
// joined by '|', each with its line when it is not the first.
std::string Found(std::u16string_view text, Dialect dialect) {
  const std::vector<std::u16string_view> pieces = {text};
  std::string out;
  for (const TransactionStatement& s :
       TransactionStatements(text, pieces, PieceGroup{0, 0, false}, TextRules{dialect, false})) {
    if (!out.empty()) out += "|";
    out += Utf16ToUtf8(s.name);
    const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + s.at, u'\n'));
    if (line > 0) out += "@" + std::to_string(line + 1);
  }
  return out;
}

TEST(TransactionStatementsTest, PostgresqlStatementsThatEndOrOpenTheTransaction) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"INSERT INTO t VALUES (1);\ncommit; INSERT INTO t VALUES (2)", "COMMIT@2"},
      {u"END; end work; COMMIT AND CHAIN; Commit Work And No Chain; COMMIT",
       "END|END|COMMIT|COMMIT|COMMIT"},
      {u"ROLLBACK; ROLLBACK AND CHAIN; ABORT TRANSACTION; ROLLBACK PREPARED 'x'",
       "ROLLBACK|ROLLBACK|ABORT|ROLLBACK PREPARED"},
      {u"BEGIN; START TRANSACTION ISOLATION LEVEL SERIALIZABLE; PREPARE TRANSACTION 'x'; "
       u"COMMIT PREPARED 'x'",
       "BEGIN|START TRANSACTION|PREPARE TRANSACTION|COMMIT PREPARED"},
      // Savepoints, prepared statements and other words are not.
      {u"SAVEPOINT a; RELEASE a; RELEASE SAVEPOINT a; ROLLBACK TO a; ROLLBACK WORK TO SAVEPOINT "
       u"a; ROLLBACK TRANSACTION TO a; PREPARE q AS SELECT 1; START x; SELECT 1 AS commit",
       ""},
      // Comments, strings, names and dollar-quoted bodies hide them.
      {u"SELECT 'COMMIT; END'; /* COMMIT; /* END; */ */ -- END;\nSELECT \"end\"; "
       u"SELECT E'\\'; COMMIT; '; DO $$BEGIN COMMIT; END$$; "
       u"DO $b$ BEGIN ROLLBACK; END IF; END $b$; CALL p()",
       ""},
      // A routine's BEGIN ATOMIC ... END body, with CASE ... END, END IF and
      // END LOOP in it; what follows the routine is read again.
      {u"CREATE OR REPLACE FUNCTION f(a int) RETURNS int LANGUAGE sql\nBEGIN ATOMIC\n"
       u"  SELECT CASE WHEN a > 0 THEN 1 ELSE 0 END;\n  IF a THEN SELECT 1; END IF;\n"
       u"  LOOP SELECT 2; END LOOP;\nEND;\nEND",
       "END@7"},
      {u"CREATE PROCEDURE p() LANGUAGE sql BEGIN ATOMIC INSERT INTO t VALUES (1); END; ABORT",
       "ABORT"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Found(text, Dialect::kPostgresql), expected) << Utf16ToUtf8(text);
    EXPECT_EQ(Found(text, Dialect::kSqlServer), "") << Utf16ToUtf8(text);
  }
}

TEST(TransactionStatementsTest, SqliteStatementsThatEndOrOpenTheTransaction) {
  EXPECT_EQ(Found(u"BEGIN IMMEDIATE; COMMIT TRANSACTION; END; ROLLBACK; ROLLBACK TO a; "
                  u"SAVEPOINT a; RELEASE a; SELECT `commit`, [end]",
                  Dialect::kSqlite),
            "BEGIN|COMMIT|END|ROLLBACK");
  EXPECT_EQ(Found(u"CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n UPDATE t SET a = CASE WHEN a > 0 "
                  u"THEN 1 END;\nEND;\nEND",
                  Dialect::kSqlite),
            "END@4");
}

}  // namespace
}  // namespace corvalen
