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

// The line of the batch that record `record` names, or 0. Other drivers do
// not know the field and refuse it.
SQLUSMALLINT SqlServerLine(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record) {
  SQLUSMALLINT line = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN rc =
      SQLGetDiagFieldW(type, handle, record, kDiagSqlServerLine, &line, SQL_IS_USMALLINT, &length);
  return SQL_SUCCEEDED(rc) ? line : 0;
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
      if (const SQLUSMALLINT line = SqlServerLine(type, handle, record); line > 0) {
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
  OdbcConnection(std::vector<std::u16string> secrets, int32_t command_timeout_seconds)
      : secrets_(std::move(secrets)),
        command_timeout_seconds_(command_timeout_seconds),
        env_(SQL_HANDLE_ENV),
        dbc_(SQL_HANDLE_DBC) {}

  ~OdbcConnection() override {
    if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), SQL_ROLLBACK);
    if (connected_) SQLDisconnect(dbc_.get());
  }

  void Open(const std::u16string& connection_string, int32_t login_timeout_seconds) {
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
  }

  int32_t BeginTrans() override {
    if (in_transaction_) Fail(kTransactionAlreadyActive);
    SetAutocommit(false);
    in_transaction_ = true;
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
    int error_steps = 0;
    SQLRETURN rc = SQLExecDirectW(stmt.get(), wide.data(), static_cast<SQLINTEGER>(wide.size()));
    for (;;) {
      if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
        if (!DrainRows(stmt, errors)) ++error_steps;
      } else if (rc == SQL_ERROR) {
        ++error_steps;
        std::vector<std::u16string> texts = DiagnosticTexts(SQL_HANDLE_STMT, stmt.get());
        if (texts.empty()) break;  // nothing more to learn from this batch
        errors.insert(errors.end(), texts.begin(), texts.end());
      } else if (rc != SQL_NO_DATA) {
        // SQL_INVALID_HANDLE, SQL_NEED_DATA, SQL_STILL_EXECUTING: nothing this
        // program can continue from.
        errors.push_back(u"Respuesta ODBC inesperada (" + ToDecimal(rc) + u").");
        break;
      }
      if (error_steps >= kMaxErrorSteps) break;
      rc = SQLMoreResults(stmt.get());
      if (rc == SQL_NO_DATA) break;
    }
    if (!errors.empty()) Fail(JoinLines(errors));
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
  // Returns false after recording the errors of a failing fetch.
  bool DrainRows(const Handle& stmt, std::vector<std::u16string>& errors) {
    SQLSMALLINT columns = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt.get(), &columns)) || columns <= 0) return true;
    for (;;) {
      SQLRETURN rc = SQLFetch(stmt.get());
      if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) continue;
      if (rc == SQL_NO_DATA) return true;
      std::vector<std::u16string> texts = DiagnosticTexts(SQL_HANDLE_STMT, stmt.get());
      if (texts.empty()) texts.push_back(u"Falló la lectura de un resultado.");
      errors.insert(errors.end(), texts.begin(), texts.end());
      return false;
    }
  }

  void EndTransaction(SQLSMALLINT completion) {
    if (!in_transaction_) Fail(kNoTransactionActive);
    // A failed commit leaves the transaction open, so that the caller can
    // still roll it back.
    Check(SQLEndTran(SQL_HANDLE_DBC, dbc_.get(), completion), dbc_);
    in_transaction_ = false;
    // Nothing is pending now, so turning autocommit back on commits nothing.
    SetAutocommit(true);
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
  // Declared in this order so that the connection handle is freed before the
  // environment it belongs to.
  Handle env_;
  Handle dbc_;
  bool connected_ = false;
  bool in_transaction_ = false;
  std::mutex running_mutex_;
  SQLHANDLE running_ = SQL_NULL_HANDLE;  // the statement Execute runs
};

}  // namespace

std::shared_ptr<Connection> OpenOdbcConnection(const std::u16string& connection_string,
                                               const OdbcOptions& options) {
  std::vector<std::u16string> secrets = options.secrets;
  for (auto& s : ConnectionStringSecrets(connection_string)) secrets.push_back(std::move(s));
  auto connection =
      std::make_shared<OdbcConnection>(std::move(secrets), options.command_timeout_seconds);
  connection->Open(connection_string, options.login_timeout_seconds);
  if (options.command_timeout_seconds <= 0) return connection;
  return WithCommandTimeout(std::move(connection), options.command_timeout_seconds);
}

}  // namespace corvalen
