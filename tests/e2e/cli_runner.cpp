#include "tests/e2e/cli_runner.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace corvalen::testing {
namespace fs = std::filesystem;

std::vector<std::string> CliResult::OutLines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ScriptsFolder::CopyFixture(const std::string& fixture, const std::string& name) const {
  fs::copy_file(fs::path(CORVALEN_TEST_DATA) / fixture, path() / name,
                fs::copy_options::overwrite_existing);
}

fs::path ScriptsFolder::NewSqliteDatabase(const std::string& name) const {
  fs::path file = path() / name;
  SqliteQuery(file, "PRAGMA user_version = 1");
  return file;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string SqliteQuery(const fs::path& database, const std::string& sql) {
  sqlite3* db = nullptr;
  // SQLite takes UTF-8 names on Windows and the system's bytes on POSIX:
  // u8string gives each.
  const std::u8string name = database.u8string();
  if (sqlite3_open(reinterpret_cast<const char*>(name.c_str()), &db) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + database.string());
  }
  std::string rows;
  char* error = nullptr;
  sqlite3_exec(
      db, sql.c_str(),
      [](void* out, int columns, char** values, char**) {
        auto* text = static_cast<std::string*>(out);
        if (!text->empty()) *text += '\n';
        for (int i = 0; i < columns; ++i) {
          if (i) *text += '|';
          *text += values[i] ? values[i] : "NULL";
        }
        return 0;
      },
      &rows, &error);
  std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  if (!message.empty()) throw std::runtime_error(message);
  return rows;
}

}  // namespace corvalen::testing
