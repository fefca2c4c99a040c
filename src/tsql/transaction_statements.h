// The statements of a call that end or open the transaction the run keeps
// a script in, as PostgreSQL and SQLite read them. There a script's COMMIT
// or END commits the run's transaction, its ROLLBACK undoes it, and a BEGIN
// opens one inside it (an error on both), so that the run's promise (all of
// the script or nothing) no longer holds. SQL Server is not read here: its
// transactions nest by count, and the run watches the count.
#ifndef CORVALEN_TSQL_TRANSACTION_STATEMENTS_H_
#define CORVALEN_TSQL_TRANSACTION_STATEMENTS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tsql/script_text.h"
#include "tsql/sql_scanner.h"

namespace corvalen {

struct TransactionStatement {
  size_t at = 0;        // where its first word stands in the script text
  std::u16string name;  // what it is, in capitals: "COMMIT", "START TRANSACTION", ...
};

// The transaction statements of the call made of pieces group.first to
// group.last of `text` (each followed by CR LF, as the run sends them), in
// text order, read by the lexical rules of `rules`: every statement that
// starts (after a `;`, outside parentheses and routine bodies) with
//   BEGIN, START TRANSACTION, COMMIT (PREPARED), END, ABORT,
//   ROLLBACK (PREPARED), not ROLLBACK [WORK | TRANSACTION] TO, or
//   PREPARE TRANSACTION,
// whatever follows (WORK, TRANSACTION, AND [NO] CHAIN, ...). Inside the
// BEGIN ... END body of a CREATE FUNCTION, PROCEDURE or TRIGGER statement
// (PostgreSQL's BEGIN ATOMIC, SQLite's triggers) nothing is one; CASE ...
// END nests there, and END IF, END LOOP, END WHILE, END REPEAT, END FOR
// close nothing. Words inside comments, strings (dollar-quoted bodies
// included) and quoted names are never statements. Nothing for SQL Server.
std::vector<TransactionStatement> TransactionStatements(
    std::u16string_view text, const std::vector<std::u16string_view>& pieces,
    const PieceGroup& group, const TextRules& rules);

}  // namespace corvalen

#endif  // CORVALEN_TSQL_TRANSACTION_STATEMENTS_H_
