#include "db/odbc_connection.h"

// <sql.h> and <sqlext.h> with what they need on this system
// (odbc_headers_posix.h or odbc_headers_windows.h, chosen by CMake).
#include CORVALEN_ODBC_HEADERS

#include <algorithm>
#include <climits>
#include <mutex>
#include <utility>

#include "db/batch_text.h"
#include "db/command_watchdog.h"
#include "db/secret_scrub.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t),
              "the wide ODBC calls must take UTF-16 code units");

// A batch whose failing steps keep failing without end is abandoned after
// this many error steps; their records are reported.
constexpr int kMaxErrorSteps = 1000;
// Diagnostic records read per failing call, at most.
constexpr SQLSMALLINT kMaxRecords = 200;

// Said once when the connection is gone in the middle of a batch: the driver
// has nothing further to tell about it.
constexpr char16_t kConnectionLost[] = u"Se perdi\u00F3 la conexi\u00F3n con el servidor.";
constexpr char16_t kNoTransactionAnswer[] =
    u"El servidor no respondi\u00F3 a la comprobaci\u00F3n de la transacci\u00F3n: el script "
    u"dej\u00F3 puesto SET NOEXEC ON (o FMTONLY, PARSEONLY) y lo que sigui\u00F3 no se "
    u"ejecut\u00F3.";
// Said for a failing step that came without a diagnostic record (a server's
// DONE with its error flag and no error message).
constexpr char16_t kFailedWithoutReason[] =
    u"El servidor dio el lote por fallido sin decir por qu\u00E9.";

std::basic_string<SQLWCHAR> ToSqlWide(std::u16string_view text) {
  return std::basic_string<SQLWCHAR>(text.begin(), text.end());
}

// Owns one ODBC handle.
class Handle {
 public:
  explicit Handle(SQLSMALLINT type) : type_(type) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  SQLHANDLE get() const { return handle_; }
  SQLHANDLE* out() { return &handle_; }
  SQLSMALLINT type() const { return type_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// SQL Server's drivers (Microsoft's, FreeTDS) keep the line of the batch that
// an error comes from in this field of the record, not in its text.
constexpr SQLSMALLINT kDiagSqlServerLine = -1154;

// The line of the batch that record `record` names, or 0. The field is a
// 16-bit number; it is asked with a buffer length of 0 or more, the form
// both drivers answer (FreeTDS refuses a negative one such as
// SQL_IS_USMALLINT), into a zeroed buffer wide enough for either width.
// Other drivers do not know the field and refuse it.
uint32_t SqlServerLine(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record) {
  SQLUINTEGER line = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN rc = SQLGetDiagFieldW(type, handle, record, kDiagSqlServerLine, &line,
                                        sizeof(line), &length);
  return SQL_SUCCEEDED(rc) ? (line & 0xFFFF) : 0;
}

// The message text of every diagnostic record on the handle; a statement's
// record that names a line of the batch ends in ", Line N", as SQL Server's
// own tools write it.
std::vector<std::u16string> DiagnosticTexts(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<std::u16string> texts;
  if (handle == SQL_NULL_HANDLE) return texts;
  std::basic_string<SQLWCHAR> message(512, 0);
  for (SQLSMALLINT record = 1; record <= kMaxRecords; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                                  static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size()) &&
        length < SHRT_MAX) {
      message.assign(static_cast<size_t>(length) + 1, 0);
      rc = SQLGetDiagRecW(type, handle, record, state, &native, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    size_t n = std::min(static_cast<size_t>(length < 0 ? 0 : length), message.size() - 1);
    texts.emplace_back(message.begin(), message.begin() + static_cast<ptrdiff_t>(n));
    if (type == SQL_HANDLE_STMT) {
      if (const uint32_t line = SqlServerLine(type, handle, record); line > 0) {
        texts.back() += u", Line " + ToDecimal(line);
      }
    }
  }
  return texts;
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string out;
  for (const auto& line : lines) {
    if (!out.empty()) out += u"\r\n";
    out += line;
  }
  return out;
}

class OdbcConnection : public Connection {
 public:
  OdbcConnection(std::vector<std::u16string> secrets, int32_t command_timeout_seconds,
                 Dialect dialect)
      : secrets_(std::move(secrets)),
        command_timeout_seconds_(command_timeout_seconds),
        dialect_(dialect),
        env_(SQL_HANDLE_ENV),
        dbc_(SQL_HANDLE_DBC) {}

  ~OdbcConnection() override {
    if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    if (connected_) SQLDisconnect(dbc_.get());
  }

  void Open(const std::u16string& connection_string, int32_t login_timeout_seconds,
            const std::u16string& entity) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env_.out()))) {
      Fail(u"No se pudo iniciar el entorno ODBC.");
    }
    Check(SQLSetEnvAttr(env_.get(), SQL_ATTR_ODBC_VERSION,
                        reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(SQL_OV_ODBC3)), 0),
          env_);
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env_.get(), dbc_.out()), env_);
    SQLULEN timeout = login_timeout_seconds > 0 ? static_cast<SQLULEN>(login_timeout_seconds) : 0;
    Check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(timeout), SQL_IS_UINTEGER),
          dbc_);
    if (connection_string.size() > SHRT_MAX) {
      Fail(u"La cadena de conexión ODBC es demasiado larga.");
    }
    std::basic_string<SQLWCHAR> wide = ToSqlWide(connection_string);
    SQLSMALLINT out_length = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc_.get(), nullptr, wide.data(),
                                     static_cast<SQLSMALLINT>(wide.size()), nullptr, 0,
                                     &out_length, SQL_DRIVER_NOPROMPT);
    Check(rc, dbc_);
    connected_ = true;
    catalog_ = CurrentCatalog();
    const std::u16string dbms = DbmsName();
    if (DialectOfDbms(dbms) != dialect_) {
      throw NumberedError(
          kErrInvalidArgument,
          u"La entidad \"" + entity + u"\" tiene Dialect = " + DialectName(dialect_) +
              u", pero el servidor al que lleva su conexión es \"" +
              ScrubSecrets(dbms.empty() ? u"desconocido" : dbms, secrets_) +
              u"\": corrija Dialect en la configuración.");
    }
    sql_server_ = dialect_ == Dialect::kSqlServer;
    // SQL Server 2016 and later name each transaction; older ones only
    // count them. Asked as the check asks, bounded alike.
    if (sql_server_) {
      try {
        has_transaction_id_ = true;
        AskTransaction(TransactionQuery());
      } catch (const NumberedError&) {
        has_transaction_id_ = false;
      }
    }
  }

  int32_t BeginTrans() override {
    if (in_transaction_) Fail(kTransactionAlreadyActive);
    RestoreCatalog();
    SetAutocommit(false);
    in_transaction_ = true;
    if (sql_server_) TakeBaseline();
    return 1;
  }

  void CommitTrans() override { EndTransaction(SQL_COMMIT); }

  // SQLCancel from another thread stops the statement that Execute runs.
  void Cancel() override {
    std::lock_guard<std::mutex> lock(running_mutex_);
    if (running_ != SQL_NULL_HANDLE) SQLCancel(running_);
  }
  void RollbackTrans() override { EndTransaction(SQL_ROLLBACK); }

  void Execute(const std::u16string& text) override {
    // The driver would read the text only up to a NUL and run the cut part.
    RefuseNulCharacter(text);
    if (text.size() > static_cast<size_t>(INT32_MAX)) {
      Fail(u"El texto es demasiado largo para enviarlo en un solo lote.");
    }
    Handle stmt(SQL_HANDLE_STMT);
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), stmt.out()), dbc_);
    const RunningStatement running(*this, stmt.get());
    if (command_timeout_seconds_ > 0) {
      // A driver that cannot keep the limit refuses it here rather than let
      // the batch run without one.
      Check(SQLSetStmtAttrW(
                stmt.get(), SQL_ATTR_QUERY_TIMEOUT,
                reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(command_timeout_seconds_)),
                SQL_IS_UINTEGER),
            stmt);
    }
    std::basic_string<SQLWCHAR> wide = ToSqlWide(text);
    std::vector<std::u16string> errors;
    // The records of the last failing step: a driver whose connection is
    // gone answers every further step with the same ones.
    std::vector<std::u16string> last_step;
    int error_steps = 0;
    SQLRETURN rc = SQLExecDirectW(stmt.get(), wide.data(), static_cast<SQLINTEGER>(wide.size()));
    for (;;) {
      std::vector<std::u16string> step;
      bool failed = false;
      if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
        failed = !DrainRows(stmt, step);
      } else if (rc == SQL_ERROR) {
        // Every SQL_ERROR fails the batch, with or without records.
        failed = true;
        step = DiagnosticTexts(SQL_HANDLE_STMT, stmt.get());
      } else if (rc != SQL_NO_DATA) {
        // SQL_INVALID_HANDLE, SQL_NEED_DATA, SQL_STILL_EXECUTING: nothing this
        // program can continue from.
        errors.push_back(u"Respuesta ODBC inesperada (" + ToDecimal(rc) + u").");
        break;
      }
      if (failed) {
        // The same records again mean a lost connection, unless the driver
        // says the connection is alive (two statements may fail alike).
        const bool repeated = !step.empty() && step == last_step;
        const Liveness liveness = ConnectionLiveness();
        const bool lost =
            liveness == Liveness::kDead || (repeated && liveness == Liveness::kUnknown);
        if (!(repeated && lost)) {
          if (step.empty() &&
              std::find(errors.begin(), errors.end(), kFailedWithoutReason) == errors.end()) {
            step.push_back(kFailedWithoutReason);
          }
          errors.insert(errors.end(), step.begin(), step.end());
        }
        if (lost) {
          errors.push_back(kConnectionLost);
          break;
        }
        last_step = std::move(step);
        if (++error_steps >= kMaxErrorSteps) break;
      }
      rc = SQLMoreResults(stmt.get());
      if (rc == SQL_NO_DATA) break;
    }
    if (!errors.empty()) Fail(JoinLines(errors));
  }

  // One round trip: the count, the identity and the mode (see the header).
  void RestoreDatabase() override { RestoreCatalog(); }

  TransactionState CheckTransaction() override {
    if (!sql_server_ || !in_transaction_) return TransactionState::kIntact;
    const TransactionFacts now = AskTransaction(TransactionQuery());
    if (now.count < baseline_.count || (has_transaction_id_ && now.id != baseline_.id)) {
      return TransactionState::kEnded;
    }
    // A script that turned implicit transactions off has them back from its
    // next group on.
    if (!now.implicit) Execute(u"SET IMPLICIT_TRANSACTIONS ON");
    return now.count > baseline_.count ? TransactionState::kNested : TransactionState::kIntact;
  }

  bool BackslashStrings() override {
    if (dialect_ != Dialect::kPostgresql) return false;
    Handle stmt(SQL_HANDLE_STMT);
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), stmt.out()), dbc_);
    std::basic_string<SQLWCHAR> query = ToSqlWide(u"SHOW standard_conforming_strings");
    Check(SQLExecDirectW(stmt.get(), query.data(), static_cast<SQLINTEGER>(query.size())), stmt);
    Check(SQLFetch(stmt.get()), stmt);
    SQLWCHAR value[8] = {};
    SQLLEN bytes = 0;
    Check(SQLGetData(stmt.get(), 1, SQL_C_WCHAR, value, sizeof value, &bytes), stmt);
    return std::u16string_view(reinterpret_cast<const char16_t*>(value)) == u"off";
  }

 private:
  // Makes a statement handle the one Cancel stops, while it lives; declared
  // after the handle, so that Cancel never reaches a freed one.
  class RunningStatement {
   public:
    RunningStatement(OdbcConnection& connection, SQLHANDLE stmt) : connection_(connection) {
      std::lock_guard<std::mutex> lock(connection_.running_mutex_);
      connection_.running_ = stmt;
    }
    ~RunningStatement() {
      std::lock_guard<std::mutex> lock(connection_.running_mutex_);
      connection_.running_ = SQL_NULL_HANDLE;
    }
    RunningStatement(const RunningStatement&) = delete;
    RunningStatement& operator=(const RunningStatement&) = delete;

   private:
    OdbcConnection& connection_;
  };

  // Fetches and discards the rows of the current result, if it has columns.
  // Returns false, with the records of the failing fetch in `errors`, when a
  // fetch fails.
  bool DrainRows(const Handle& stmt, std::vector<std::u16string>& errors) {
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) || columns <= 0) return true;
    for (;;) {
      SQLRETURN rc = SQLFetch(stmt.get());
      if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) continue;
      if (rc == SQL_NO_DATA) return true;
      errors = DiagnosticTexts(SQL_HANDLE_STMT, stmt.get());
      return false;
    }
  }

  // What SQL Server says of the connection's transaction.
  struct TransactionFacts {
    int64_t count = 0;     // @@TRANCOUNT
    int64_t id = 0;        // CURRENT_TRANSACTION_ID(), 0 where the server lacks it
    bool implicit = true;  // @@OPTIONS & 2: implicit transactions on
  };

  std::u16string TransactionQuery() const {
    return has_transaction_id_ ? u"SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2"
                               : u"SELECT @@TRANCOUNT, 0, @@OPTIONS & 2";
  }

  // Right after the begin: implicit transactions on, so that what follows a
  // script's own ROLLBACK opens a new transaction (which the run rolls back)
  // instead of running in autocommit; the transaction really opened (a driver
  // that opens it lazily, with implicit transactions, opens it at the first
  // statement that reads a table); then the baseline that every check is
  // compared with. One round trip.
  void TakeBaseline() {
    baseline_ = AskTransaction(u"SET IMPLICIT_TRANSACTIONS ON\r\n"
                               u"IF @@TRANCOUNT = 0 SELECT TOP (0) 1 FROM sys.objects\r\n" +
                               TransactionQuery());
    if (baseline_.count < 1) {
      Fail(u"El servidor no abri\u00F3 la transacci\u00F3n del script (@@TRANCOUNT = 0).");
    }
  }

  // Runs `query`, whose last result is one row of three numbers.
  TransactionFacts AskTransaction(const std::u16string& query) {
    Handle stmt(SQL_HANDLE_STMT);
    Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc_.get(), stmt.out()), dbc_);
    const RunningStatement running(*this, stmt.get());
    // The run's own question is bounded even when the scripts are not.
    const SQLULEN timeout = command_timeout_seconds_ > 0
                                ? static_cast<SQLULEN>(command_timeout_seconds_)
                                : static_cast<SQLULEN>(kTransactionCheckBound.count());
    Check(SQLSetStmtAttrW(stmt.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout),
                          SQL_IS_UINTEGER),
          stmt);
    std::basic_string<SQLWCHAR> wide = ToSqlWide(query);
    // A server that compiles and does not run (NOEXEC, FMTONLY, PARSEONLY
    // left on) answers without the row.
    auto answered = [&](SQLRETURN rc) {
      if (rc == SQL_NO_DATA) Fail(kNoTransactionAnswer);
      Check(rc, stmt);
    };
    answered(SQLExecDirectW(stmt.get(), wide.data(), static_cast<SQLINTEGER>(wide.size())));
    SQLSMALLINT columns = 0;
    while (SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) && columns < 3) {
      answered(SQLMoreResults(stmt.get()));
    }
    answered(SQLFetch(stmt.get()));
    int64_t values[3] = {};
    for (SQLUSMALLINT column = 1; column <= 3; ++column) {
      SQLLEN indicator = 0;
      Check(SQLGetData(stmt.get(), column, SQL_C_SBIGINT, &values[column - 1], sizeof(int64_t),
                       &indicator),
            stmt);
      if (indicator == SQL_NULL_DATA) values[column - 1] = 0;
    }
    // Read to the end, or the driver would cancel the rest of the answer.
    while (SQL_SUCCEEDED(SQLFetch(stmt.get()))) {
    }
    while (SQL_SUCCEEDED(SQLMoreResults(stmt.get()))) {
    }
    return TransactionFacts{values[0], values[1], values[2] != 0};
  }

  void EndTransaction(SQLSMALLINT completion) {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // Implicit transactions off again before autocommit comes back. A
    // rollback goes on when this fails (the connection may be gone); a
    // commit does not.
    if (sql_server_) {
      try {
        // A rollback also lifts a NOEXEC the script left on, under which a
        // driver's rollback sent as text would not run.
        Execute(completion == SQL_ROLLBACK ? u"SET NOEXEC OFF\r\nSET IMPLICIT_TRANSACTIONS OFF"
                                           : u"SET IMPLICIT_TRANSACTIONS OFF");
      } catch (const NumberedError&) {
        if (completion == SQL_COMMIT) throw;
      }
    }
    // A failed commit leaves the transaction open, so that the caller can
    // still roll it back. A rollback that finds none open (the script's own
    // ROLLBACK ended it) has nothing left to do: SQL Server's complaint
    // about it, Msg 3903, is no failure.
    const bool rollback = completion == SQL_ROLLBACK;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), completion);
    // A commit whose answer was lost (the connection failed, a time-out)
    // may have been made.
    if (!rollback && !SQL_SUCCEEDED(rc)) {
      // Read before the liveness question clears them.
      std::vector<std::u16string> texts = DiagnosticTexts(SQL_HANDLE_DBC, dbc_.get());
      if (AnswerLost()) {
        if (texts.empty()) texts.push_back(kConnectionLost);
        throw NumberedError(kErrCommitInDoubt, ScrubSecrets(JoinLines(texts), secrets_));
      }
      Fail(texts.empty() ? u"La llamada ODBC fall\u00F3 sin dar diagn\u00F3stico." : JoinLines(texts));
    }
    if (!(rollback && OnlyNoTransactionToRollBack(rc))) Check(rc, dbc_);
    in_transaction_ = false;
    // Nothing is pending now, so turning autocommit back on commits nothing.
    const SQLULEN on = SQL_AUTOCOMMIT_ON;
    rc = SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(on),
                            SQL_IS_UINTEGER);
    if (!(rollback && OnlyNoTransactionToRollBack(rc))) Check(rc, dbc_);
  }

  // Whether the connection's first diagnostic record says that the answer
  // never came: a connection failure (SQLSTATE class 08) or a time-out
  // (HYT00, HYT01), or the driver knows the connection to be gone.
  bool AnswerLost() {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(
            SQLGetDiagRecW(SQL_HANDLE_DBC, dbc_.get(), 1, state, &native, nullptr, 0, &length))) {
      if ((state[0] == u'0' && state[1] == u'8') ||
          (state[0] == u'H' && state[1] == u'Y' && state[2] == u'T')) {
        return true;
      }
    }
    return ConnectionLiveness() == Liveness::kDead;
  }

  // Whether `rc`, a call on the connection handle, failed only because SQL
  // Server had no transaction to roll back: Msg 3903, with nothing else but
  // the driver's own words about it (records without a server number).
  bool OnlyNoTransactionToRollBack(SQLRETURN rc) {
    if (SQL_SUCCEEDED(rc) || !sql_server_) return false;
    constexpr SQLINTEGER kNoBeginTransaction = 3903;
    bool seen = false;
    for (SQLSMALLINT record = 1; record <= kMaxRecords; ++record) {
      SQLWCHAR state[6] = {};
      SQLINTEGER native = 0;
      SQLSMALLINT length = 0;
      const SQLRETURN got =
          SQLGetDiagRecW(SQL_HANDLE_DBC, dbc_.get(), record, state, &native, nullptr, 0, &length);
      if (!SQL_SUCCEEDED(got)) break;
      if (native == kNoBeginTransaction) {
        seen = true;
      } else if (native != 0) {
        return false;
      }
    }
    return seen;
  }

  // The server's name as the driver gives it ("" when it does not).
  std::u16string DbmsName() {
    std::u16string dbms(128, u'\0');
    SQLSMALLINT dbms_bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_.get(), SQL_DBMS_NAME, dbms.data(),
                                   static_cast<SQLSMALLINT>(dbms.size() * sizeof(char16_t)),
                                   &dbms_bytes)) ||
        dbms_bytes < 0) {
      return u"";
    }
    dbms.resize(std::min(dbms.size() - 1, static_cast<size_t>(dbms_bytes) / sizeof(char16_t)));
    return dbms;
  }

  // The connection's current database as the driver keeps it ("" when the
  // driver does not tell).
  std::u16string CurrentCatalog() {
    std::basic_string<SQLWCHAR> name(256, 0);
    SQLINTEGER bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                                          static_cast<SQLINTEGER>(name.size() * sizeof(SQLWCHAR)),
                                          &bytes)) ||
        bytes < 0) {
      return u"";
    }
    const size_t n = std::min(name.size() - 1, static_cast<size_t>(bytes) / sizeof(SQLWCHAR));
    return std::u16string(name.begin(), name.begin() + static_cast<ptrdiff_t>(n));
  }

  // A script's USE moves the connection to another database; each
  // transaction starts in the one the connection was opened on.
  void RestoreCatalog() {
    if (catalog_.empty() || CurrentCatalog() == catalog_) return;
    std::basic_string<SQLWCHAR> name = ToSqlWide(catalog_);
    Check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_CURRENT_CATALOG, name.data(),
                             static_cast<SQLINTEGER>(name.size() * sizeof(SQLWCHAR))),
          dbc_);
  }

  enum class Liveness { kAlive, kDead, kUnknown };
  // Whether the driver knows the connection to be gone.
  Liveness ConnectionLiveness() {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_.get(), SQL_ATTR_CONNECTION_DEAD, &dead,
                                          SQL_IS_UINTEGER, nullptr))) {
      return Liveness::kUnknown;
    }
    return dead == SQL_CD_TRUE ? Liveness::kDead : Liveness::kAlive;
  }

  void SetAutocommit(bool on) {
    const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
    Check(SQLSetConnectAttrW(dbc_.get(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value),
                             SQL_IS_UINTEGER),
          dbc_);
  }

  // Raises the handle's diagnostics when `rc` is a failure.
  void Check(SQLRETURN rc, const Handle& handle) {
    if (SQL_SUCCEEDED(rc)) return;
    std::vector<std::u16string> texts = DiagnosticTexts(handle.type(), handle.get());
    if (texts.empty()) texts.push_back(u"La llamada ODBC falló sin dar diagnóstico.");
    Fail(JoinLines(texts));
  }

  [[noreturn]] void Fail(const std::u16string& description) {
    throw NumberedError(kErrDatabase, ScrubSecrets(description, secrets_));
  }

  std::vector<std::u16string> secrets_;
  int32_t command_timeout_seconds_;
  Dialect dialect_;
  // Declared in this order so that the connection handle is freed before the
  // environment it belongs to.
  Handle env_;
  Handle dbc_;
  bool connected_ = false;
  bool in_transaction_ = false;
  std::mutex running_mutex_;
  SQLHANDLE running_ = SQL_NULL_HANDLE;  // the statement Execute runs
  // The database the connection was opened on.
  std::u16string catalog_;
  // Whether the server is SQL Server (which counts open transactions), and
  // whether it names them (CURRENT_TRANSACTION_ID, SQL Server 2016 and
  // later).
  bool sql_server_ = false;
  bool has_transaction_id_ = false;
  // What the server said of the transaction right after BeginTrans.
  TransactionFacts baseline_;
};

}  // namespace

std::shared_ptr<Connection> OpenOdbcConnection(const std::u16string& connection_string,
                                               const OdbcOptions& options) {
  std::vector<std::u16string> secrets = options.secrets;
  for (auto& s : ConnectionStringSecrets(connection_string)) secrets.push_back(std::move(s));
  auto connection = std::make_shared<OdbcConnection>(
      std::move(secrets), options.command_timeout_seconds, options.dialect);
  // FreeTDS before 1.4 keeps the closing brace of a braced value that ends
  // the string (PWD={abc} arrives as "abc}"); a final ';' avoids it.
  std::u16string handed_over = connection_string;
  if (!handed_over.empty() && handed_over.back() == u'}') handed_over += u';';
  connection->Open(handed_over, options.login_timeout_seconds, options.entity);
  // The driver's own query time-out acts first; the watchdog is the backstop
  // for a driver that does not keep it (a script may lift psqlODBC's), and
  // bounds the transaction's calls, the run's own check always.
  return WithRoundTripTimeouts(
      std::move(connection),
      RoundTripBounds{options.command_timeout_seconds, kCancelGrace, std::chrono::milliseconds(1000)});
}

}  // namespace corvalen
