// Tests' PostgreSQL database: the private server of scripts/pg-server.sh
// (CORVALEN_TEST_PG_CONN), a table of their own (a, b) and a way to read it
// that does not go through the connection under test.
#ifndef CORVALEN_DB_ODBC_POSTGRES_TEST_DATABASE_H_
#define CORVALEN_DB_ODBC_POSTGRES_TEST_DATABASE_H_

#include <unistd.h>

#include CORVALEN_ODBC_HEADERS

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "db/odbc_connection.h"
#include "platform/utf.h"

namespace corvalen::testing {

class PostgresTestDatabase {
 public:
  // False, doing nothing, without a server.
  bool Start() {
    const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
    if (conn == nullptr || *conn == '\0') return false;
    conn_ = Utf8ToUtf16(conn);
    std::random_device rd;
    table_ = u"corvalen_t" + ToDecimal(getpid()) + u"_" + ToDecimal(rd() % 100000);
    Open()->Execute(u"CREATE TABLE " + table_ + u" (a integer, b text)");
    return true;
  }
  void Stop() {
    if (!conn_.empty()) Open()->Execute(u"DROP TABLE IF EXISTS " + table_);
  }

  std::shared_ptr<Connection> Open(OdbcOptions options = {}) {
    options.dialect = Dialect::kPostgresql;
    return OpenOdbcConnection(conn_, options);
  }

  // The first column of the first row of `sql`, read as text on a connection
  // of its own.
  std::u16string Scalar(const std::u16string& sql) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::basic_string<SQLWCHAR> c(conn_.begin(), conn_.end());
    std::basic_string<SQLWCHAR> q(sql.begin(), sql.end());
    std::u16string out = u"<no value>";
    if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, c.data(), static_cast<SQLSMALLINT>(c.size()),
                                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT))) {
      SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
      SQLWCHAR buffer[256] = {};
      SQLLEN length = 0;
      if (SQL_SUCCEEDED(SQLExecDirectW(stmt, q.data(), static_cast<SQLINTEGER>(q.size()))) &&
          SQL_SUCCEEDED(SQLFetch(stmt)) &&
          SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof(buffer), &length))) {
        out.assign(buffer, buffer + length / static_cast<SQLLEN>(sizeof(SQLWCHAR)));
      }
      SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      SQLDisconnect(dbc);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return out;
  }
  std::u16string Count() { return Scalar(u"SELECT count(*) FROM " + table_); }

 protected:
  std::u16string conn_;
  std::u16string table_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_DB_ODBC_POSTGRES_TEST_DATABASE_H_
