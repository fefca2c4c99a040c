#include "tests/e2e/cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

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

namespace {

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

CliResult RunCli(const std::vector<std::string>& arguments) {
  ScriptsFolder capture;
  fs::path out = capture.path() / "out", err = capture.path() / "err";
  std::vector<std::string> args = {CORVALEN_CLI_PATH};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  CliResult result;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  return result;
}

std::string SqliteQuery(const fs::path& database, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open(database.c_str(), &db) != SQLITE_OK) {
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
