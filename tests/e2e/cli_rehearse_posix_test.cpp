// A rehearsal that ends abruptly leaves the databases as they were: killed
// with SIGKILL while a script runs, given up on a server that stopped
// answering, or unable to write its report. The server rolls back the
// transaction of a connection that went away, SQLite its journal when the
// file is next opened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/cli_postgres_fixture.h"
#include "tests/e2e/cli_rehearse_fixture.h"
#include "tests/e2e/cli_sqlite_fixture.h"

extern char** environ;

namespace corvalen::testing {
namespace {

// Starts a rehearsal of `folder`, kills it `after` later; its wait status.
int KillRehearsal(const ScriptsFolder& folder, std::chrono::milliseconds after) {
  std::vector<std::string> args = {CORVALEN_CLI_PATH, "--rehearse", "--scripts",
                                   folder.path().string(), "--config",
                                   (folder.path() / "quorvexconfig.ini").string()};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  std::this_thread::sleep_for(after);
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

TEST_F(CliSqliteTest, ARehearsalKilledMidScriptLeavesTheDatabaseAsItWas) {
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/ncm_funcion_larga.sql", "NCM_02.sql");
  Config();
  const std::string before = SqliteDump(erp_);
  const int status = KillRehearsal(folder_, std::chrono::milliseconds(1500));
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(SqliteDump(erp_), before);
}

TEST_F(CliPostgresTest, ARehearsalKilledMidScriptLeavesTheDatabaseAsItWas) {
  Psql("CREATE SCHEMA " + schema_ + "; CREATE TABLE " + schema_ + ".t (id int)");
  Script("NCM_01.sql", "INSERT INTO " + schema_ + ".t VALUES (1);\nGO\n");
  Script("NCM_02.sql", "SELECT pg_sleep(4) AS " + schema_ + ";\nGO\n");
  const int status = KillRehearsal(folder_, std::chrono::milliseconds(1500));
  ASSERT_TRUE(WIFSIGNALED(status));
  // The server notices the closed connection when the sleep ends, and
  // rolls back.
  for (int i = 0; i < 50 && Psql("SELECT count(*) FROM pg_stat_activity WHERE query LIKE "
                                 "'%AS " + schema_ + "%' AND pid <> pg_backend_pid()") != "0";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(PostgresDump(schema_), "t|id|integer\nt:\n");
}

TEST_F(CliPostgresTest, ARehearsalGivenUpOnAFrozenServerKeepsNothing) {
  Psql("CREATE SCHEMA " + schema_ + "; CREATE TABLE " + schema_ + ".t (id int)");
  folder_.Write("quorvexconfig.ini",
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\nCommandTimeout=1\n");
  Script("NCM_01.sql", "INSERT INTO " + schema_ + ".t VALUES (1);\nGO\n");
  Script("NCM_02.sql", "SELECT pg_sleep(30) AS " + schema_ + ";\nGO\n");
  std::string pid;
  std::thread freezer([&] {
    for (int i = 0; i < 100 && pid.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pid = Psql("SELECT pid FROM pg_stat_activity WHERE query LIKE '%AS " + schema_ +
                 "%' AND pid <> pg_backend_pid()");
    }
    if (!pid.empty()) kill(std::stoi(pid), SIGSTOP);
  });
  const std::string report = (folder_.path() / "informe.json").string();
  CliResult r = RunCli({"--rehearse", "--scripts", folder_.path().string(), "--config",
                        (folder_.path() / "quorvexconfig.ini").string(), "--report", report});
  freezer.join();
  ASSERT_FALSE(pid.empty());
  kill(std::stoi(pid), SIGCONT);
  EXPECT_EQ(r.exit_code, 2) << r.err;
  const nlohmann::json json = nlohmann::json::parse(std::ifstream(report));
  EXPECT_EQ(json["mode"], "rehearsal");
  EXPECT_EQ(json["scripts"][1]["outcome"], "would-fail");
  for (int i = 0; i < 50 && Psql("SELECT count(*) FROM pg_stat_activity WHERE pid = " + pid) != "0";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(PostgresDump(schema_), "t|id|integer\nt:\n");
}

TEST_F(CliPostgresTest, ARehearsalWhoseReportCannotBeWrittenKeepsNothing) {
  Psql("CREATE SCHEMA " + schema_ + "; CREATE TABLE " + schema_ + ".t (id int)");
  // Enough scripts for a report past the size limit.
  for (int i = 10; i < 40; ++i) {
    Script("NCM_" + std::to_string(i) + ".sql",
           "INSERT INTO " + schema_ + ".t VALUES (" + std::to_string(i) + ");\nGO\n");
  }
  rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit limit = old_limit;
  limit.rlim_cur = 3000;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limit);
  CliResult r = RunCli({"--rehearse", "--scripts", folder_.path().string(), "--config",
                        (folder_.path() / "quorvexconfig.ini").string(), "--report",
                        (folder_.path() / "informe.json").string()});
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(r.exit_code, 6) << r.err;
  EXPECT_EQ(PostgresDump(schema_), "t|id|integer\nt:\n");
}

}  // namespace
}  // namespace corvalen::testing
