// Tests' SQLite database: a file of its own holding table t (a, b), and a
// way to read it that does not go through the connection under test.
#ifndef CORVALEN_DB_SQLITE_TEST_DATABASE_H_
#define CORVALEN_DB_SQLITE_TEST_DATABASE_H_

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>

#include "db/sqlite_connection.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen::testing {

class SqliteTestDatabase {
 public:
  SqliteTestDatabase() : dir_(folder_.path()), file_(dir_ / "ncm.db") {
    Raw("CREATE TABLE t(a INTEGER, b TEXT)");
  }

  std::shared_ptr<Connection> Open(int busy_ms = 2000) {
    return OpenSqliteConnection(Utf8ToUtf16(file_.string()), SqliteOptions{busy_ms});
  }

  // Runs `sql` on a connection of its own (creating the file if needed) and
  // returns the first column of the first row as text.
  std::string Raw(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file_.string().c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    std::string out = "<no value>";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
      out.clear();
      if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
        out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return out;
  }

 protected:
  TempFolder folder_{"corvalen-sqlite"};
  std::filesystem::path dir_;
  std::filesystem::path file_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_DB_SQLITE_TEST_DATABASE_H_
