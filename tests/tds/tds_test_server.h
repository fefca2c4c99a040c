// A SQL Server stand-in for tests: it speaks enough of TDS 7.1 to 7.4 for the
// FreeTDS ODBC driver to log in, run batches and transactions and cancel,
// answers each batch by rules read from its text, and keeps a journal of
// what arrived. It listens on a free port of 127.0.0.1 from construction to
// destruction, one thread per connection.
//
// Login: pre-login answered with "encryption not supported"; LOGIN7 answered
// with the database, packet size and collation changes and the acknowledgement
// of the client's own TDS version (the password is decoded for the journal).
//
// A batch runs line by line; each line that is not blank and not a "--"
// comment is one statement, answered with a DONE (the "more" flag on all but
// the last) after what its rule adds. Errors name the line of the batch.
//   USE db                      database change, INFO 5701
//   PRINT 'text'                INFO, class 0
//   RAISERROR('text', sev, st)  ERROR 50000 (INFO when sev <= 10)
//   ... no_existe ...           ERROR 208 "Invalid object name 'no_existe'."
//   SELECT a, b, ...            one row of INT columns when every item is a
//                               number or one of @@TRANCOUNT,
//                               CURRENT_TRANSACTION_ID() (Msg 195 on a server
//                               made WithoutTransactionIds), @@OPTIONS & 2
//                               (implicit transactions on), XACT_STATE()
//   SELECT ... FROM ...         no rows; opens an implicit transaction
//   IF @@TRANCOUNT = 0 stmt     stmt, only at count 0
//   EXEC tds_rows N             N rows of (id INT, nombre NVARCHAR(40))
//   EXEC tds_rows_error N       N rows, then ERROR 8134 (divide by zero)
//   EXEC tds_done_error         DONE with its error flag and no ERROR token
//   EXEC tds_commit             a procedure that commits: a COMMIT the
//                               batch's text does not show
//   WAITFOR DELAY 'hh:mm:ss'    waits; an ATTENTION ends the batch at once
//   EXEC tds_deaf N             waits N seconds, answering nothing, not even
//                               an ATTENTION
//   EXEC tds_close              what came before is sent, then the server
//                               closes the connection
//   EXEC tds_deaf_at_check N    arms silence: the next batch that starts with
//   EXEC tds_deaf_at_commit N   SELECT @@TRANCOUNT (the run's check), or the
//                               next commit (request or text), is answered
//                               with nothing for N seconds (0: none), then
//                               the connection closes
//   INSERT/UPDATE/DELETE/CREATE/ALTER/DROP ...
//                               a change (DONE with a row count of 1): kept
//                               at once at count 0, else when the outermost
//                               transaction commits
//
// Transactions, as SQL Server keeps them:
//   BEGIN TRAN...               count + 1; a new transaction (and a new
//                               CURRENT_TRANSACTION_ID) at count 0
//   COMMIT [TRAN...]            count - 1; at 1 the changes are kept; at 0
//                               Msg 3902. A commit above 1 only lowers the
//                               count, the transaction-manager request too:
//                               an assumption about SQL Server, which treats
//                               its COMMIT TRAN so
//   ROLLBACK [TRAN...|WORK]     every level rolled back, count 0; at 0 Msg 3903
//   SAVE TRAN[SACTION] name     a savepoint (Msg 628 at count 0)
//   ROLLBACK TRAN[SACTION] name to that savepoint, count unchanged (a name
//                               that is no savepoint: a full rollback)
//   IF @@TRANCOUNT > 0 COMMIT/ROLLBACK [BEGIN TRANSACTION]
//                               what FreeTDS sends on TDS 7.0/7.1
//   SET IMPLICIT_TRANSACTIONS ON|OFF
//                               when on, a change, a SELECT ... FROM or a
//                               BEGIN TRAN at count 0 opens a transaction
//                               first (BEGIN TRAN then gives count 2)
//   SET XACT_ABORT ON|OFF       when on, an error inside a transaction (the
//                               no_existe rule) dooms it: XACT_STATE() -1,
//                               changes and COMMIT refused (Msg 3930), and
//                               at the end of the call it is rolled back
//                               with Msg 3998 (the client sees count 0)
// ATTENTION outside a batch is answered with a DONE carrying its flag.
// Transaction-manager requests (begin, commit, rollback, either with "begin
// a new one") change the transaction count and answer with the transaction
// changes; a commit or rollback with none open is error 3902/3903.
// What was kept (Kept) and how many transactions committed (Commits) let
// tests say "nothing applied", "part applied", "no commit reached it".
#ifndef CORVALEN_TESTS_TDS_TDS_TEST_SERVER_H_
#define CORVALEN_TESTS_TDS_TDS_TEST_SERVER_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/tds/tds_socket.h"

namespace corvalen::testing {

struct TdsLogin {
  std::string tds_version;  // "7.1", "7.2", "7.3", "7.4"
  std::string user;
  std::string password;
  std::string database;
  uint32_t packet_size = 0;  // what the client asked for
};

class TdsTestServer {
 public:
  // `packet_size` above 0 is the size the server sets at login instead of
  // the client's (512 makes every answer span packets).
  explicit TdsTestServer(uint32_t packet_size = 0);
  ~TdsTestServer();
  TdsTestServer(const TdsTestServer&) = delete;
  TdsTestServer& operator=(const TdsTestServer&) = delete;

  int port() const { return port_; }
  // A FreeTDS connection string for this server and database (whose
  // password is "pw" unless given), TDS 7.4 unless given.
  std::string ConnectionString(const std::string& database, const std::string& version = "7.4",
                               const std::string& password = "pw") const;

  // What arrived, in order, one entry per message:
  //   "login DB", "batch: TEXT" (TEXT as sent, "tx batch: TEXT" when its
  //   header names an open transaction), "tm begin", "tm commit",
  //   "tm rollback", "tm commit+begin", "tm rollback+begin", "attention".
  std::vector<std::string> Journal() const;
  std::vector<TdsLogin> Logins() const;
  // The batch texts alone, in order.
  std::vector<std::string> Batches() const;
  // The changes made permanent, in order: run at count 0, or in a
  // transaction that committed.
  std::vector<std::string> Kept() const;
  // How many transactions committed (a change at count 0 counts as one),
  // and how many were rolled back.
  int Commits() const;
  int Rollbacks() const;
  // Clears the journal, the logins and the record of what was kept.
  void ClearJournal();
  // From now on the server stands for one older than SQL Server 2016:
  // CURRENT_TRANSACTION_ID() is Msg 195.
  void WithoutTransactionIds() { transaction_ids_ = false; }

 private:
  class Session;
  void AcceptLoop();
  void Record(std::string entry);
  void RecordLogin(TdsLogin login);
  int64_t NewTransactionId();
  void EndTransaction(bool commit, const std::vector<std::string>& changes);

  uint32_t packet_size_;
  int port_ = 0;
  SocketHandle listener_ = kNoSocket;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> journal_;
  std::vector<TdsLogin> logins_;
  std::vector<std::string> kept_;
  int commits_ = 0;
  int rollbacks_ = 0;
  int64_t transaction_ids_given_ = 0;
  std::atomic<bool> transaction_ids_{true};
  std::vector<std::thread> sessions_;
  std::thread acceptor_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_TDS_TDS_TEST_SERVER_H_
