// Why the run will not send a call at all: what the entity's database would
// make of the call's text differs from what the script says, so nothing of
// it goes (the script fails and is rolled back). Read by the rules of that
// database; --check asks the same questions, so that it reports exactly
// what the run refuses.
#ifndef CORVALEN_TSQL_CALL_REFUSAL_H_
#define CORVALEN_TSQL_CALL_REFUSAL_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/dialect.h"
#include "tsql/script_text.h"
#include "tsql/sql_scanner.h"

namespace corvalen {

struct CallRefusal {
  size_t at = 0;        // the place in the script text it is about
  std::u16string text;  // the whole message, in Spanish, naming the file's line
};

// The refusal of the call made of pieces group.first to group.last of
// `text` (each followed by CR LF, as the run sends them), or nothing when it
// may be sent, read by the rules of `rules`:
// - a text that ends inside a block comment, a string or a quoted name;
// - SQLite: a "/*" inside a block comment (SQLite closes the comment at the
//   first "*/" and runs what follows, SQL Server would not);
// - PostgreSQL: a transaction statement (RefuseTransactionStatement).
// SQLite's transaction statements are refused while they run, by the
// connection (its authorizer), not here.
std::optional<CallRefusal> RefuseCall(std::u16string_view text,
                                      const std::vector<std::u16string_view>& pieces,
                                      const PieceGroup& group, const TextRules& rules);

// The refusal for the first transaction statement of the call
// (tsql/transaction_statements.h) on PostgreSQL and SQLite; nothing on SQL
// Server or when there is none.
std::optional<CallRefusal> RefuseTransactionStatement(
    std::u16string_view text, const std::vector<std::u16string_view>& pieces,
    const PieceGroup& group, const TextRules& rules);

}  // namespace corvalen

#endif  // CORVALEN_TSQL_CALL_REFUSAL_H_
