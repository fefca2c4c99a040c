// Starting the program with CreateProcessW, its output into files; the test
// server through ODBC (Windows has no psql).
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <stdexcept>

#include "platform/utf.h"
#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {
namespace fs = std::filesystem;
namespace {

// One argument as the C runtime's command-line parser reads it back:
// quoted, with the backslashes in front of a quote (or of the closing quote)
// doubled and each quote escaped.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// A handle that child processes inherit, writing to `file` (made anew) or
// reading from NUL when `file` is empty.
HANDLE Inheritable(const fs::path& file) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE h = file.empty()
                 ? CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr)
                 : CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + file.string());
  return h;
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments) {
  ScriptsFolder capture;
  const fs::path out = capture.path() / "out", err = capture.path() / "err";
  const std::wstring program = Wide(CORVALEN_CLI_PATH);
  std::wstring command_line = Quoted(program);
  for (const std::string& a : arguments) command_line += L" " + Quoted(Wide(a));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable({});
  startup.hStdOutput = Inheritable(out);
  startup.hStdError = Inheritable(err);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, nullptr, &startup, &process);
  CloseHandle(startup.hStdInput);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  if (!started) throw std::runtime_error("cannot start " + std::string(CORVALEN_CLI_PATH));
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  CliResult result;
  result.exit_code = static_cast<int>(code);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  return result;
}

std::string PostgresQuery(const std::string& sql) {
  const char* conn = std::getenv("CORVALEN_TEST_PG_CONN");
  if (conn == nullptr) throw std::runtime_error("CORVALEN_TEST_PG_CONN is not set");
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::wstring connection = Wide(conn);
  std::wstring text = Wide(sql);
  std::string rows;
  if (SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, connection.data(), SQL_NTS, nullptr, 0,
                                      nullptr, SQL_DRIVER_NOPROMPT)) &&
      SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
    SQLRETURN rc = SQLExecDirectW(stmt, text.data(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
      SQLWCHAR state[6], message[1024];
      SQLINTEGER native = 0;
      SQLSMALLINT length = 0;
      SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, state, &native, message, 1024, &length);
      rows = Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(message), length));
    } else {
      SQLSMALLINT columns = 0;
      SQLNumResultCols(stmt, &columns);
      while (columns > 0 && SQL_SUCCEEDED(SQLFetch(stmt))) {
        if (!rows.empty()) rows += '\n';
        for (SQLSMALLINT c = 1; c <= columns; ++c) {
          if (c > 1) rows += '|';
          SQLWCHAR value[1024];
          SQLLEN size = 0;
          SQLGetData(stmt, c, SQL_C_WCHAR, value, sizeof value, &size);
          rows += size == SQL_NULL_DATA
                      ? std::string()
                      : Utf16ToUtf8(std::u16string(reinterpret_cast<char16_t*>(value),
                                                   static_cast<size_t>(size) / sizeof(SQLWCHAR)));
        }
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return rows;
}

}  // namespace corvalen::testing
