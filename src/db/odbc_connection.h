// A Connection over ODBC (unixODBC's driver manager, wide-character calls):
// the route to SQL Server through the Microsoft driver or FreeTDS, and to any
// other server whose driver runs a multi-statement text in one call.
#ifndef CORVALEN_DB_ODBC_CONNECTION_H_
#define CORVALEN_DB_ODBC_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/dialect.h"

namespace corvalen {

struct OdbcOptions {
  // Seconds the driver may spend reaching the server and logging in; 0 means
  // no limit.
  int32_t login_timeout_seconds = 10;
  // Seconds a batch given to Execute may run (the statement's query
  // timeout); 0 means no limit.
  int32_t command_timeout_seconds = 0;
  // Texts removed from every error description this connection raises (see
  // ScrubSecrets); the connection string's own passwords are added to them.
  std::vector<std::u16string> secrets;
  // The database the configuration says the server is, and the entity it
  // is configured for (named when the server turns out to be another).
  Dialect dialect = Dialect::kSqlServer;
  std::u16string entity;
};

// Opens a connection with SQLDriverConnectW, without prompting, in autocommit
// mode; a connection string ending in '}' is handed over with a final ';'
// (FreeTDS before 1.4 would keep the brace in the last value). A server that
// is not the one options.dialect names (the driver's SQL_DBMS_NAME tells) is
// refused as a configuration error, NumberedError(5) naming the entity, the
// dialect and the server; the connection is closed again. Raises
// NumberedError(kErrDatabase) whose description is the text of every
// diagnostic record, one per line, with the secrets removed; a record that
// names a line of the batch (SQL Server's drivers) ends in ", Line N".
//
// The connection it returns:
// - Execute first refuses a text holding a NUL character (see
//   RefuseNulCharacter): nothing of it is sent. It then sends the whole text
//   in one SQLExecDirectW on a statement handle of its own and reads every
//   result (rows are fetched and discarded, then SQLMoreResults to the end),
//   so that an error raised by any statement of the batch fails the call;
//   messages that come with SQL_SUCCESS_WITH_INFO are not errors. A command
//   timeout above 0 is set as the handle's SQL_ATTR_QUERY_TIMEOUT before the
//   text is sent (a driver that refuses it fails the call); a batch that runs
//   past it fails. How the driver keeps it is its own (FreeTDS and
//   Microsoft's driver stop waiting and cancel, the PostgreSQL driver has the
//   server cancel the statement, and a script may lift that), so every batch
//   is also bounded by WithRoundTripTimeouts (db/command_watchdog.h): one
//   second past the limit (the driver's own time-out goes first) it is
//   cancelled with SQLCancel and fails with "Se agotó el tiempo de espera
//   del comando (N s)."; one that has not ended a few seconds later is given
//   up. Every SQL_ERROR of the batch (execution, further
//   results, fetches) fails it, also one that comes without a diagnostic
//   record. A connection that dies meanwhile (the driver says so, or answers
//   with the same records again) ends the reading at once with one line
//   saying the connection was lost.
// - Cancel calls SQLCancel on the statement that Execute runs, if any.
// - BeginTrans first sets the connection's current database back to the one
//   it was opened on, when a batch changed it (a script's USE); then it
//   switches autocommit off. CommitTrans and RollbackTrans end the
//   transaction with SQLEndTran and switch autocommit back on. A second
//   BeginTrans, or a Commit/Rollback without a transaction, raises. A commit
//   whose answer was lost (SQLSTATE class 08, a time-out, a dead connection)
//   raises kErrCommitInDoubt.
// - On SQL Server (the sqlserver dialect) the transaction is guarded: when
//   the connection opens it asks once whether the server names transactions
//   (CURRENT_TRANSACTION_ID, SQL Server 2016 and later). BeginTrans then
//   turns implicit transactions on (so that what follows a script's own
//   ROLLBACK opens a new transaction instead of running in autocommit), makes
//   sure the transaction is really open, and reads the baseline: the count
//   and the identity, in one round trip. CheckTransaction reads the count,
//   the identity and @@OPTIONS & 2 in one round trip: a count below the
//   baseline or another identity is kEnded, a count above it kNested;
//   implicit transactions that a script turned off are turned on again
//   (a second round trip, only then). CommitTrans and RollbackTrans turn
//   implicit transactions off first. A rollback that finds no transaction
//   (Msg 3903: the script's own ROLLBACK ended it) succeeds. The run's own
//   questions carry the command timeout, or kTransactionCheckBound when it
//   is 0, as their query time-out. Other servers: CheckTransaction is
//   kIntact.
// - Every round trip is bounded by WithRoundTripTimeouts: Execute, commit
//   and rollback at the command timeout, the check also without one.
// - Destroying it rolls back an open transaction and disconnects; it never
//   commits.
std::shared_ptr<Connection> OpenOdbcConnection(const std::u16string& connection_string,
                                               const OdbcOptions& options);

}  // namespace corvalen

#endif  // CORVALEN_DB_ODBC_CONNECTION_H_
