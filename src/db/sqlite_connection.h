// A Connection on a SQLite database file through the native library: the
// embedded default for entities without a server.
#ifndef CORVALEN_DB_SQLITE_CONNECTION_H_
#define CORVALEN_DB_SQLITE_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace corvalen {

struct SqliteOptions {
  // How long a statement waits for a lock held by another connection before
  // it fails with "database is locked".
  int32_t busy_timeout_ms = 10000;
  // Seconds a batch given to Execute may run; 0 means no limit.
  int32_t command_timeout_seconds = 0;
};

// Why `path` cannot name a database file for OpenSqliteConnection, seen
// from the name alone, as a Spanish phrase; an empty text when nothing is
// wrong with it. Refused: an empty name, ":memory:" (in any letter case) and
// a name starting with "file:" (any case).
std::u16string SqliteNameRefusal(std::u16string_view path);
// The same, and also, for an entry that exists, a folder ("\"/datos\" es
// una carpeta") or anything else that is not a regular file (a symbolic link
// counts as what it points to). A name that does not exist is not refused
// here.
std::u16string SqliteFileRefusal(std::u16string_view path);

// Opens an existing regular database file, named by a path (`path` as
// NativeToUtf16 gives names: it reaches the file system byte for byte), for
// reading and writing: it never opens an in-memory or temporary database,
// never reads the name as a URI (nor passes SQLITE_OPEN_URI) and never
// creates a file. The file is checked to be a database at once. Raises
// NumberedError(kErrDatabase): for what SqliteFileRefusal refuses, "No se
// puede abrir la base de datos SQLite: " with its phrase; for a missing
// file, a message of its own; otherwise SQLite's message. Names in messages
// are shown with DisplayName.
//
// The connection it returns:
// - Execute first refuses a text holding a NUL character (see
//   RefuseNulCharacter) without running any of it. It then runs every
//   statement of the text in order (rows are stepped through and discarded)
//   and stops at the first error, raising SQLite's message; the statements
//   before it stay done (inside the caller's transaction, if any). With a
//   command timeout, every batch is bounded by WithCommandTimeout
//   (db/command_watchdog.h): at the limit it is interrupted and fails with
//   "Se agotó el tiempo de espera del comando (N s)." (SQLite may then have
//   rolled back the open transaction itself); a batch that is still running
//   a few seconds later (one function call that takes that long) is given
//   up. A wait for a lock is not cut short by it: the busy timeout bounds
//   that wait.
// - Inside the transaction BeginTrans opened, a batch's own BEGIN,
//   COMMIT/END and ROLLBACK (of the whole transaction) are refused before
//   they run (SQLite's authorizer, on only while Execute runs), with a
//   Spanish message that names the statement's line in the batch ("en la
//   línea N del lote"); savepoints (SAVEPOINT, RELEASE, ROLLBACK TO) work.
// - Cancel interrupts the running batch, which fails with "interrupted",
//   also when the cancel lands between two of its statements.
//   CheckTransaction is kRolledBack when SQLite rolled the transaction back
//   itself, else kIntact.
// - BeginTrans starts an immediate transaction (the write lock is taken at
//   once, waiting up to the busy timeout). CommitTrans and RollbackTrans
//   without a transaction raise. A rollback after SQLite has already undone
//   the transaction by itself succeeds. The command timeout never applies to
//   these calls.
// - Destroying it rolls back an open transaction; it never commits.
std::shared_ptr<Connection> OpenSqliteConnection(const std::u16string& path,
                                                 const SqliteOptions& options);

}  // namespace corvalen

#endif  // CORVALEN_DB_SQLITE_CONNECTION_H_
