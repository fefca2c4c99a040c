// A hard bound on the time of a connection's batches, whatever the driver and
// the SQL do (a script that lifts the server's own limit, one long function
// call, a server that stopped answering): at the limit the batch is
// cancelled from another thread (Connection::Cancel); a batch that has still
// not ended a grace period later is given up, and the program ends without
// waiting for it. Nothing of a given-up batch is ever committed: a server
// rolls back the transaction of a connection that goes away, and SQLite rolls
// back its journal when the database is next opened.
#ifndef CORVALEN_DB_COMMAND_WATCHDOG_H_
#define CORVALEN_DB_COMMAND_WATCHDOG_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/connection.h"

namespace corvalen {

// How long a cancelled batch has to end before it is given up.
inline constexpr std::chrono::milliseconds kCancelGrace{3000};

// "Se agotó el tiempo de espera del comando (N s)."
std::u16string CommandTimeoutText(int32_t seconds);

// What the program does with a batch that was given up: `description` says
// so in Spanish. It runs on the watchdog's own thread while the batch's
// thread is still blocked in the driver, and must end the process (it never
// returns). Set it before any batch runs; an empty one (the default) waits
// for the batch instead.
using StuckBatchHandler = std::function<void(const std::u16string& description)>;
void SetStuckBatchHandler(StuckBatchHandler handler);

// `connection` with every Execute bounded to `seconds` (above 0). At the
// limit the batch is cancelled, and an Execute that then fails raises
// NumberedError(kErrDatabase) with CommandTimeoutText, whatever the driver
// said; one that ends well in spite of the cancel succeeds. When the batch
// has not ended `grace` after the cancel, the stuck-batch handler is called
// and that Execute never returns. The other calls pass through unbounded.
// One watchdog thread per connection, started by its first batch; a batch
// costs two uncontended lock operations. `backstop` delays the cancel past
// the limit, for a connection whose driver keeps the same limit itself: its
// own time-out goes first, and a cancel racing it cannot break the
// connection (FreeTDS was seen to lose it).
std::shared_ptr<Connection> WithCommandTimeout(std::shared_ptr<Connection> connection,
                                               int32_t seconds,
                                               std::chrono::milliseconds grace = kCancelGrace,
                                               std::chrono::milliseconds backstop = {});

// How long the run's own question after each batch of a script
// (Connection::CheckTransaction) may take on a server's connection whose
// command timeout is 0 (no limit for the scripts).
inline constexpr std::chrono::seconds kTransactionCheckBound{60};

struct RoundTripBounds {
  int32_t seconds = 0;  // the command timeout; 0: none
  std::chrono::milliseconds grace = kCancelGrace;
  std::chrono::milliseconds backstop{};
  // Whether CheckTransaction, CommitTrans and RollbackTrans are bounded too
  // (set by WithRoundTripTimeouts).
  bool bound_transaction_calls = false;
};

// `connection` (a server's) with every round trip bounded as
// WithCommandTimeout bounds Execute: Execute, CommitTrans and RollbackTrans
// at bounds.seconds (not at all when it is 0), CheckTransaction at
// bounds.seconds or, when that is 0, at kTransactionCheckBound. A
// CheckTransaction cut short raises "Se agotó el tiempo de espera de la
// comprobación de la transacción (N s)."; a CommitTrans cut short raises
// kErrCommitInDoubt, and one given up tells the stuck-batch handler that the
// script may have stayed applied. BeginTrans is not bounded here.
std::shared_ptr<Connection> WithRoundTripTimeouts(std::shared_ptr<Connection> connection,
                                                  const RoundTripBounds& bounds);

}  // namespace corvalen

#endif  // CORVALEN_DB_COMMAND_WATCHDOG_H_
