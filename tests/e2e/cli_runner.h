// Runs corvalensql-cli in a scripts folder of its own and captures its exit
// code, standard output and standard error.
#ifndef CORVALEN_TESTS_E2E_CLI_RUNNER_H_
#define CORVALEN_TESTS_E2E_CLI_RUNNER_H_

#include <filesystem>
#include <string>
#include <vector>

#include "tests/fakes/temp_folder.h"

namespace corvalen::testing {

struct CliResult {
  int exit_code = -1;
  std::string out;
  std::string err;
  // Standard output split at line ends.
  std::vector<std::string> OutLines() const;
};

// A temporary scripts folder, removed at the end.
class ScriptsFolder : public TempFolder {
 public:
  ScriptsFolder() : TempFolder("corvalen-e2e") {}
  // Copies a fixture from tests/data.
  void CopyFixture(const std::string& fixture, const std::string& name) const;
  // Creates an empty SQLite database file.
  std::filesystem::path NewSqliteDatabase(const std::string& name) const;
};

// Runs the console program with these arguments (no shell involved), its
// standard input empty.
CliResult RunCli(const std::vector<std::string>& arguments);

// Runs one SQL query on an SQLite file; rows as "a|b" lines joined by '\n'.
std::string SqliteQuery(const std::filesystem::path& database, const std::string& sql);

// Runs one SQL statement on the PostgreSQL test server (CORVALEN_TEST_PG_CONN,
// CORVALEN_TEST_PG_PORT); rows as SqliteQuery gives them, or the server's
// message when it fails.
std::string PostgresQuery(const std::string& sql);

// The file's whole content.
std::string ReadAll(const std::filesystem::path& file);

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_E2E_CLI_RUNNER_H_
