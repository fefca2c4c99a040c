#include "tsql/commit_balance.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvalen {
namespace {

// Each script's calls, in order, and whether any of them holds a COMMIT
// that the script's own BEGIN TRANs do not balance.
struct Case {
  std::vector<std::u16string> calls;
  bool unbalanced;
};

bool AnyUnbalanced(const std::vector<std::u16string>& calls) {
  CommitBalance balance;
  bool any = false;
  for (const std::u16string& call : calls) any = balance.ReadCall(call).unbalanced_commit || any;
  return any;
}

TEST(CommitBalanceTest, ACommitIsBalancedOnlyByTheScriptsOwnOpenBeginTran) {
  const std::vector<Case> cases = {
      {{u"COMMIT"}, true},
      {{u"UPDATE t SET a = 1\r\nCOMMIT TRANSACTION"}, true},
      {{u"BEGIN TRAN\r\nUPDATE t SET a = 1\r\nCOMMIT TRAN"}, false},
      {{u"BEGIN TRANSACTION x; COMMIT WORK; COMMIT"}, true},
      {{u"BEGIN TRAN\r\n", u"UPDATE t SET a = 1\r\nCOMMIT\r\n"}, false},
      {{u"BEGIN DISTRIBUTED TRANSACTION; COMMIT"}, false},
      {{u"BEGIN TRAN; IF @@TRANCOUNT > 0 COMMIT"}, false},
      {{u"IF @@TRANCOUNT > 0 COMMIT"}, true},
      {{u"BEGIN TRAN; IF @x = 1 BEGIN COMMIT END ELSE BEGIN SELECT 1 END"}, false},
      // A loop may run it any number of times.
      {{u"WHILE @@TRANCOUNT > 0 COMMIT"}, true},
      {{u"BEGIN TRAN; WHILE @@TRANCOUNT > 0 COMMIT"}, true},
      {{u"BEGIN TRAN\r\nWHILE @@TRANCOUNT > 0\r\nBEGIN\r\n  PRINT 'x'\r\n  COMMIT\r\nEND"}, true},
      {{u"BEGIN TRAN; WHILE @i < 3 IF @i = 1 SELECT 1 ELSE COMMIT"}, true},
      {{u"BEGIN TRAN; WHILE @i < 3 BEGIN SET @i = @i + 1 END; COMMIT"}, false},
      {{u"BEGIN TRAN; WHILE @i < 3 SET @i = @i + 1; COMMIT"}, false},
      // What SQL Server does not run as a statement.
      {{u"-- COMMIT\r\n/* COMMIT /* COMMIT */ */ SELECT 'COMMIT', [commit] FROM t"}, false},
      {{u"SELECT 1 AS x WHERE 1 = 1 -- then COMMIT"}, false},
      // A routine's body runs when the routine does.
      {{u"CREATE PROCEDURE p AS\r\nCOMMIT"}, false},
      {{u"CREATE OR ALTER TRIGGER tr ON t AFTER INSERT AS COMMIT"}, false},
      // Dynamic SQL with literal text runs in the same transaction.
      {{u"EXEC('COMMIT')"}, true},
      {{u"EXEC ('SELECT 1; ' + 'COMMIT TRAN')"}, true},
      {{u"EXEC sp_executesql N'COMMIT'"}, true},
      {{u"EXECUTE sys.sp_executesql @stmt = N'IF 1 = 1 COMMIT'"}, true},
      {{u"EXEC('BEGIN TRAN; COMMIT')"}, false},
      {{u"EXEC('SELECT ''COMMIT''')"}, false},
      {{u"BEGIN TRAN; WHILE @@TRANCOUNT > 0 EXEC('COMMIT')"}, true},
      // A full ROLLBACK ends every level; one to a savepoint ends none.
      {{u"BEGIN TRAN; ROLLBACK; COMMIT"}, true},
      {{u"BEGIN TRAN; ROLLBACK TRAN\r\nCOMMIT"}, true},
      {{u"BEGIN TRAN; SAVE TRAN s; ROLLBACK TRAN s; COMMIT"}, false},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& call : c.calls) shown += std::string(call.begin(), call.end()) + " | ";
    EXPECT_EQ(AnyUnbalanced(c.calls), c.unbalanced) << shown;
  }
}

// Every case's statements, put inside a block of any kind, keep their
// verdict (a block is no loop), and in a loop's block every COMMIT is one.
TEST(CommitBalanceTest, BlocksKeepTheVerdictAndLoopsMakeEveryCommitOne) {
  const std::vector<std::pair<std::u16string, bool>> bodies = {
      {u"BEGIN TRAN; COMMIT", false}, {u"COMMIT", true}, {u"SELECT 1", false}};
  for (const auto& [body, unbalanced] : bodies) {
    for (const std::u16string open : {u"BEGIN ", u"IF 1 = 1 BEGIN ", u"BEGIN TRY "}) {
      const std::u16string close = open == u"BEGIN TRY " ? u" END TRY BEGIN CATCH END CATCH"
                                                         : u" END";
      EXPECT_EQ(AnyUnbalanced({open + body + close}), unbalanced);
    }
    const bool commits = body.find(u"COMMIT") != std::u16string::npos;
    EXPECT_EQ(AnyUnbalanced({u"WHILE 1 = 1 BEGIN " + body + u" END"}), commits);
  }
}

TEST(CommitBalanceTest, CodeTheTextDoesNotShowIsTold) {
  const std::vector<std::pair<std::u16string, bool>> calls = {
      {u"EXEC dbo.cargar_precios 1", true},
      {u"EXECUTE @rc = cargar_precios", true},
      {u"cargar_precios 1, 2", true},
      {u"EXEC (@sql)", true},
      {u"EXEC ('SELECT 1; ' + @resto)", true},
      {u"EXEC sp_executesql @sql", true},
      {u"EXEC ('EXEC p')", true},
      {u"SELECT 1\r\nEXEC sp_executesql N'SELECT 2'", false},
      {u"EXEC ('SELECT ''x''')", false},
      {u"INSERT INTO t VALUES (1); ROLLBACK", false},
      {u"CREATE PROCEDURE p AS EXEC q", false},
  };
  for (const auto& [call, hidden] : calls) {
    CommitBalance balance;
    EXPECT_EQ(balance.ReadCall(call).hidden_code, hidden) << std::string(call.begin(), call.end());
  }
}

}  // namespace
}  // namespace corvalen
