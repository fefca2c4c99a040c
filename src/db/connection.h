// An open database connection as the update run uses it: text batches and
// transactions. The data-access component hands connections out already open;
// the program never opens or closes one itself.
#ifndef CORVALEN_DB_CONNECTION_H_
#define CORVALEN_DB_CONNECTION_H_

#include <cstdint>
#include <memory>
#include <string>

namespace corvalen {

// What became of the transaction that BeginTrans opened, after a batch.
enum class TransactionState : uint8_t {
  kIntact,      // still open, at the level BeginTrans opened it
  kNested,      // still open, with transactions of the script's own open inside it
  kRolledBack,  // ended, and nothing of it was kept (the database undid it)
  kEnded,       // ended inside the batch (a COMMIT, or a ROLLBACK that cannot be
                // told apart from one): what ran before may have been kept
};

class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  // Giving a connection up with a transaction open rolls the transaction back:
  // nothing is ever committed by releasing a connection.
  virtual ~Connection() = default;

  // Opens a transaction; returns its nesting level (1). Raises NumberedError.
  virtual int32_t BeginTrans() = 0;
  // Makes the work since BeginTrans permanent. Raises NumberedError, also
  // when no transaction is open.
  virtual void CommitTrans() = 0;
  // Undoes the work since BeginTrans. Raises NumberedError, also when no
  // transaction is open.
  virtual void RollbackTrans() = 0;
  // Runs a text batch to completion and discards whatever it returns. An error
  // raised by any statement of the batch raises NumberedError whose
  // description is the database's own text. A batch holding a NUL character
  // is refused before anything of it is sent (db/batch_text.h), and one that
  // runs past the connection's command timeout fails.
  virtual void Execute(const std::u16string& text) = 0;

  // Asks the batch that Execute is running on this connection to stop. Safe
  // to call from another thread while Execute runs; does nothing when none
  // runs. The interrupted Execute raises NumberedError.
  virtual void Cancel() {}
  // What a script's batches left of the transaction BeginTrans opened, asked
  // after each batch (one round trip at most). Raises NumberedError when the
  // question itself fails (the connection was lost, it timed out): the state
  // is then unknown. kIntact where the provider cannot tell.
  virtual TransactionState CheckTransaction() { return TransactionState::kIntact; }
  // Whether the server now reads backslash escapes in plain '...' strings
  // (PostgreSQL with standard_conforming_strings off), asked of the server
  // at each call; false for every other database. Raises NumberedError.
  virtual bool BackslashStrings() { return false; }
  // How many deferred foreign-key violations the open transaction holds,
  // which its commit would refuse (SQLite); 0 when the provider cannot tell.
  virtual int64_t DeferredViolations() { return 0; }
  // Sets the connection's current database back to the one it was opened
  // on, when a batch changed it (a script's USE); inside the open
  // transaction, for a rehearsal whose scripts share one. BeginTrans does
  // it by itself. Raises NumberedError.
  virtual void RestoreDatabase() {}
};

// What every connection raises for transaction calls out of order.
inline constexpr char16_t kNoTransactionActive[] = u"No transaction is active.";
inline constexpr char16_t kTransactionAlreadyActive[] = u"A transaction is already active.";

// What a commit raises when it is not known whether it was made (cut short
// by its time limit).
inline constexpr int32_t kErrCommitInDoubt = -2147217899;

// Command type "text".
inline constexpr int32_t kCmdText = 1;

// A command object bound to a connection. The run creates it, sets its type
// and releases it; nothing is ever executed through it.
struct Command {
  std::shared_ptr<Connection> ActiveConnection;
  int32_t CommandType = 8;  // unknown until set
};

}  // namespace corvalen

#endif  // CORVALEN_DB_CONNECTION_H_
