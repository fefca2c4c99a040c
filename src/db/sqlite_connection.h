// A Connection on a SQLite database file through the native library: the
// embedded default for entities without a server.
#ifndef CORVALEN_DB_SQLITE_CONNECTION_H_
#define CORVALEN_DB_SQLITE_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>

#include "db/connection.h"

namespace corvalen {

struct SqliteOptions {
  // How long a statement waits for a lock held by another connection before
  // it fails with "database is locked".
  int32_t busy_timeout_ms = 10000;
};

// Opens an existing database file for reading and writing; a missing file is
// an error and is never created. The file is checked to be a database at
// once. Raises NumberedError(kErrDatabase) with SQLite's message, or with a
// message of its own for a missing file.
//
// The connection it returns:
// - Execute runs every statement of the text in order (rows are stepped
//   through and discarded) and stops at the first error, raising SQLite's
//   message; the statements before it stay done (inside the caller's
//   transaction, if any).
// - BeginTrans starts an immediate transaction (the write lock is taken at
//   once, waiting up to the busy timeout). CommitTrans and RollbackTrans
//   without a transaction raise. A rollback after SQLite has already undone
//   the transaction by itself succeeds.
// - Destroying it rolls back an open transaction; it never commits.
std::shared_ptr<Connection> OpenSqliteConnection(const std::u16string& path,
                                                 const SqliteOptions& options);

}  // namespace corvalen

#endif  // CORVALEN_DB_SQLITE_CONNECTION_H_
