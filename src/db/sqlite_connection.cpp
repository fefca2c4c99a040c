#include "db/sqlite_connection.h"

#include <sqlite3.h>

#include <atomic>
#include <string>

#include "db/batch_text.h"
#include "db/command_watchdog.h"
#include "platform/file_info.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

[[noreturn]] void Fail(const std::u16string& description) {
  throw NumberedError(kErrDatabase, description);
}

// Whether `text` starts with `prefix` (ASCII letters in any case).
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != prefix[i]) return false;
  }
  return true;
}

std::u16string Quoted(std::u16string_view path) { return u"\"" + DisplayName(path) + u"\""; }

// The line of `at` in the text that starts at `begin`, counted from 1; CR
// LF, CR and LF each end a line.
int64_t LineAt(const char* begin, const char* at) {
  int64_t line = 1;
  for (const char* p = begin; p < at; ++p) {
    if (*p == '\n' || (*p == '\r' && (p + 1 == at || p[1] != '\n'))) ++line;
  }
  return line;
}

// Where the statement that follows `p` starts: past blanks and SQLite's
// comments ("--" to the line's end, "/* */" without nesting).
const char* StatementStart(const char* p, const char* end) {
  while (p < end) {
    if (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\f' || *p == '\v') {
      ++p;
    } else if (p + 1 < end && p[0] == '-' && p[1] == '-') {
      while (p < end && *p != '\n') ++p;
    } else if (p + 1 < end && p[0] == '/' && p[1] == '*') {
      const char* close = p + 2;
      while (close + 1 < end && !(close[0] == '*' && close[1] == '/')) ++close;
      p = close + 1 < end ? close + 2 : end;
    } else {
      break;
    }
  }
  return p;
}

// The first word of the statement at `p` (letters only), as the text has it.
std::u16string FirstWord(const char* p, const char* end) {
  std::u16string word;
  while (p < end && ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'))) word += *p++;
  return word;
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
    const std::u16string refusal = SqliteFileRefusal(path);
    if (!refusal.empty()) Fail(u"No se puede abrir la base de datos SQLite: " + refusal + u".");
    // A relative name could be read as a URI by a SQLite built to accept
    // them everywhere; "./" in front makes it a plain path. SQLite takes
    // names as UTF-8 on Windows and as the system's bytes on POSIX, which is
    // what Utf16ToNative gives for each.
    const std::string file =
        Utf16ToNative(IsRelativePath(path) ? JoinPath(u".", path) : path);
    // No SQLITE_OPEN_CREATE (a missing file is never made) and no
    // SQLITE_OPEN_URI.
    int rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
      const FileKind kind = KindOfFile(path);
      if (kind == FileKind::kMissing || kind == FileKind::kUnknown) {
        Fail(u"No existe la base de datos SQLite " + Quoted(path) + u".");
      }
      Fail(Message(rc));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, options.busy_timeout_ms);
    if (sqlite3_db_readonly(db_, "main") == 1) {
      Fail(u"La base de datos SQLite " + Quoted(path) + u" no admite escritura.");
    }
    // A file that is not a database opens without complaint; reading the
    // schema finds out now rather than at the first script.
    Run("SELECT count(*) FROM sqlite_master");
  }

  int32_t BeginTrans() override {
    if (in_transaction_) Fail(kTransactionAlreadyActive);
    Run("BEGIN IMMEDIATE");
    in_transaction_ = true;
    return 1;
  }

  void CommitTrans() override {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // When SQLite has already ended the transaction by itself, COMMIT fails
    // with its own message and the transaction stays ours to roll back.
    Run("COMMIT");
    in_transaction_ = false;
  }

  void RollbackTrans() override {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // Some errors (a full disk, a lock that could not be upgraded, an
    // interrupted statement) make SQLite roll the transaction back itself;
    // the work is undone either way.
    if (!sqlite3_get_autocommit(db_)) Run("ROLLBACK");
    in_transaction_ = false;
  }

  void Execute(const std::u16string& text) override {
    // A cancel from here on stops the batch, also one that lands while the
    // text is still being checked and converted.
    cancelled_ = false;
    RefuseNulCharacter(text);
    // A batch run inside the run's transaction may not end it or open
    // another: the authorizer refuses BEGIN, COMMIT/END and ROLLBACK (not
    // savepoints, a separate action) while the batch is prepared, and only
    // then, so that the run's own transaction calls pass.
    const bool guarded = in_transaction_;
    if (guarded) sqlite3_set_authorizer(db_, &SqliteConnection::Authorize, this);
    struct AuthorizerOff {
      sqlite3* db;
      bool on;
      ~AuthorizerOff() {
        if (on) sqlite3_set_authorizer(db, nullptr, nullptr);
      }
    } off{db_, guarded};
    Run(Utf16ToUtf8(text), true);
  }

  // sqlite3_interrupt stops the running statement at its next step (a long
  // function call first runs to its end); SQLite forgets it once no
  // statement runs, so the flag also stops the batch between statements.
  void Cancel() override {
    cancelled_ = true;
    sqlite3_interrupt(db_);
  }

  // The batch cannot end the transaction (see Execute); SQLite itself rolls
  // it back after some errors (a full disk, an interrupt).
  TransactionState CheckTransaction() override {
    return in_transaction_ && sqlite3_get_autocommit(db_) ? TransactionState::kRolledBack
                                                          : TransactionState::kIntact;
  }

  int64_t DeferredViolations() override {
    int current = 0, highest = 0;
    sqlite3_db_status(db_, SQLITE_DBSTATUS_DEFERRED_FKS, &current, &highest, 0);
    return current;
  }

 private:
  static int Authorize(void* self, int action, const char*, const char*, const char*,
                       const char*) {
    if (action != SQLITE_TRANSACTION) return SQLITE_OK;
    static_cast<SqliteConnection*>(self)->transaction_refused_ = true;
    return SQLITE_DENY;
  }

  // Raises the refusal of the transaction statement at `statement`, naming
  // its line in the batch that starts at `batch` (the run turns it into the
  // file's line).
  [[noreturn]] static void FailRefusedTransaction(const char* batch, const char* statement,
                                                  const char* end) {
    const char* start = StatementStart(statement, end);
    Fail(u"Un script no puede terminar ni abrir la transacci\u00F3n de la actualizaci\u00F3n: " +
         FirstWord(start, end) + u", en la l\u00EDnea " + ToDecimal(LineAt(batch, start)) +
         u" del lote, no se ejecut\u00F3 (los puntos de guardado SAVEPOINT, RELEASE y "
         u"ROLLBACK TO s\u00ED se admiten).");
  }

  // Runs every statement of `sql` in order, stepping through their rows;
  // a batch (`cancellable`) stops before its next statement once cancelled.
  void Run(const std::string& sql, bool cancellable = false) {
    const char* next = sql.c_str();
    const char* const end = next + sql.size();
    while (next < end) {
      if (cancellable && cancelled_) Fail(Message(SQLITE_INTERRUPT));
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      // -1: the text runs to its terminating NUL, so SQLite reads it in
      // place; each call parses one statement only.
      transaction_refused_ = false;
      int rc = sqlite3_prepare_v2(db_, next, -1, &raw, &tail);
      Statement stmt(raw);
      if (rc != SQLITE_OK && transaction_refused_) FailRefusedTransaction(sql.c_str(), next, end);
      if (rc != SQLITE_OK) FailWith(rc);
      if (tail == nullptr || tail <= next) break;  // nothing left that SQLite can read
      next = tail;
      if (!stmt) continue;  // blanks or a comment
      while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
      }
      if (rc != SQLITE_DONE) FailWith(rc);
    }
  }

  [[noreturn]] void FailWith(int rc) { Fail(Message(rc)); }

  std::u16string Message(int rc) const {
    // After a cancel the connection's own message may still be an older one.
    const char* text =
        db_ != nullptr && rc != SQLITE_INTERRUPT ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    return Utf8ToUtf16(text != nullptr ? text : sqlite3_errstr(rc));
  }

  sqlite3* db_ = nullptr;
  bool in_transaction_ = false;
  // Set by the authorizer when it refused a transaction statement.
  bool transaction_refused_ = false;
  // Set by Cancel, from another thread.
  std::atomic<bool> cancelled_{false};
};

}  // namespace

std::u16string SqliteNameRefusal(std::u16string_view path) {
  if (path.empty()) return u"no se indicó ningún archivo";
  if (path.size() == 8 && StartsWithNoCase(path, u":memory:")) {
    return u"\":memory:\" es una base de datos en memoria, no un archivo";
  }
  if (StartsWithNoCase(path, u"file:")) return u"se indica la ruta de un archivo, no un URI file:";
  return u"";
}

std::u16string SqliteFileRefusal(std::u16string_view path) {
  std::u16string refusal = SqliteNameRefusal(path);
  if (!refusal.empty()) return refusal;
  switch (KindOfFile(std::u16string(path))) {
    case FileKind::kFolder:
      return Quoted(path) + u" es una carpeta";
    case FileKind::kOther:
      return Quoted(path) + u" no es un archivo normal";
    default:
      return u"";  // a file, or missing: Open says so
  }
}

std::shared_ptr<Connection> OpenSqliteConnection(const std::u16string& path,
                                                 const SqliteOptions& options) {
  auto connection = std::make_shared<SqliteConnection>();
  connection->Open(path, options);
  if (options.command_timeout_seconds <= 0) return connection;
  return WithCommandTimeout(std::move(connection), options.command_timeout_seconds);
}

}  // namespace corvalen
