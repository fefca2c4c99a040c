#include "db/sqlite_connection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <string>

#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

[[noreturn]] void Fail(const std::u16string& description) {
  throw NumberedError(kErrDatabase, description);
}

struct StatementCloser {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

class SqliteConnection : public Connection {
 public:
  SqliteConnection() = default;
  ~SqliteConnection() override {
    if (db_ == nullptr) return;
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
  }

  void Open(const std::u16string& path, const SqliteOptions& options) {
    // An empty name would give a private temporary database.
    if (path.empty()) Fail(u"No se indicó el archivo de la base de datos SQLite.");
    const std::string file = Utf16ToUtf8(path);
    int rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
      struct stat info;
      if (stat(file.c_str(), &info) != 0) {
        Fail(u"No existe la base de datos SQLite \"" + path + u"\".");
      }
      Fail(Message(rc));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, options.busy_timeout_ms);
    if (sqlite3_db_readonly(db_, "main") == 1) {
      Fail(u"La base de datos SQLite \"" + path + u"\" no admite escritura.");
    }
    // A file that is not a database opens without complaint; reading the
    // schema finds out now rather than at the first script.
    Execute(u"SELECT count(*) FROM sqlite_master");
  }

  int32_t BeginTrans() override {
    if (in_transaction_) Fail(kTransactionAlreadyActive);
    Execute(u"BEGIN IMMEDIATE");
    in_transaction_ = true;
    return 1;
  }

  void CommitTrans() override {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // When SQLite has already ended the transaction by itself, COMMIT fails
    // with its own message and the transaction stays ours to roll back.
    Execute(u"COMMIT");
    in_transaction_ = false;
  }

  void RollbackTrans() override {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // Some errors (a full disk, a lock that could not be upgraded) make
    // SQLite roll the transaction back itself; the work is undone either way.
    if (!sqlite3_get_autocommit(db_)) Execute(u"ROLLBACK");
    in_transaction_ = false;
  }

  void Execute(const std::u16string& text) override {
    if (text.find(u'\0') != std::u16string::npos) {
      Fail(u"El texto SQL contiene un carácter nulo.");
    }
    const std::string sql = Utf16ToUtf8(text);
    const char* next = sql.c_str();
    const char* const end = next + sql.size();
    while (next < end) {
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      // -1: the text runs to its terminating NUL, so SQLite reads it in
      // place; each call parses one statement only.
      int rc = sqlite3_prepare_v2(db_, next, -1, &raw, &tail);
      Statement stmt(raw);
      if (rc != SQLITE_OK) Fail(Message(rc));
      if (tail == nullptr || tail <= next) break;  // nothing left that SQLite can read
      next = tail;
      if (!stmt) continue;  // blanks or a comment
      while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) Fail(Message(rc));
    }
  }

 private:
  std::u16string Message(int rc) const {
    const char* text = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    return Utf8ToUtf16(text != nullptr ? text : sqlite3_errstr(rc));
  }

  sqlite3* db_ = nullptr;
  bool in_transaction_ = false;
};

}  // namespace

std::shared_ptr<Connection> OpenSqliteConnection(const std::u16string& path,
                                                 const SqliteOptions& options) {
  auto connection = std::make_shared<SqliteConnection>();
  connection->Open(path, options);
  return connection;
}

}  // namespace corvalen
