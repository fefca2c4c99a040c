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
//   SELECT @@TRANCOUNT          one INT row: the server's transaction count
//   EXEC tds_rows N             N rows of (id INT, nombre NVARCHAR(40))
//   EXEC tds_rows_error N       N rows, then ERROR 8134 (divide by zero)
//   EXEC tds_done_error         DONE with its error flag and no ERROR token
//   WAITFOR DELAY 'hh:mm:ss'    waits; an ATTENTION ends the batch at once
//   EXEC tds_deaf N             waits N seconds, answering nothing, not even
//                               an ATTENTION
//   EXEC tds_close              what came before is sent, then the server
//                               closes the connection
//   BEGIN TRAN..., COMMIT..., ROLLBACK..., IF @@TRANCOUNT > 0 COMMIT/ROLLBACK
//   [BEGIN TRANSACTION]         the transaction count as SQL Server keeps it
//   INSERT/UPDATE/DELETE ...    DONE with a row count of 1
// ATTENTION outside a batch is answered with a DONE carrying its flag.
// Transaction-manager requests (begin, commit, rollback, either with "begin
// a new one") change the transaction count and answer with the transaction
// changes; a commit or rollback with none open is error 3902/3903.
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
  void ClearJournal();

 private:
  class Session;
  void AcceptLoop();
  void Record(std::string entry);
  void RecordLogin(TdsLogin login);

  uint32_t packet_size_;
  int port_ = 0;
  SocketHandle listener_ = kNoSocket;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> journal_;
  std::vector<TdsLogin> logins_;
  std::vector<std::thread> sessions_;
  std::thread acceptor_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_TDS_TDS_TEST_SERVER_H_
