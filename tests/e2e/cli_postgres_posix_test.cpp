// The console program end to end on PostgreSQL where POSIX differs: a
// server process stopped with a signal.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "tests/e2e/cli_postgres_fixture.h"
#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {
namespace {

TEST_F(CliPostgresTest, AFrozenServerIsGivenUpAndRollsTheScriptBack) {
  folder_.Write("quorvexconfig.ini",
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\nCommandTimeout=1\n");
  // A backend that stops answering (SIGSTOP) hears no cancel: the run is
  // given up a few seconds later, and the server rolls it back.
  Script("NCM_01.sql", "CREATE SCHEMA " + schema_ + ";\nSELECT pg_sleep(30) AS " + schema_ +
                           ";\nGO\n");
  std::string pid;
  std::thread freezer([&] {
    for (int i = 0; i < 100 && pid.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pid = Psql("SELECT pid FROM pg_stat_activity WHERE query LIKE '%AS " + schema_ + "%' AND "
                 "pid <> pg_backend_pid()");
    }
    if (!pid.empty()) kill(std::stoi(pid), SIGSTOP);
  });
  const std::string report = (folder_.path() / "informe.json").string();
  CliResult r = RunCli({"--scripts", folder_.path().string(), "--config",
              (folder_.path() / "quorvexconfig.ini").string(), "--report", report});
  freezer.join();
  ASSERT_FALSE(pid.empty());
  kill(std::stoi(pid), SIGCONT);
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_NE(r.err.find("El lote no terminó"), std::string::npos) << r.err;
  const nlohmann::json json = nlohmann::json::parse(std::ifstream(report));
  EXPECT_EQ(json["scripts"][0]["outcome"], "failed");
  EXPECT_EQ(json["exit_code"], 2);
  for (int i = 0; i < 50 && Psql("SELECT count(*) FROM pg_stat_activity WHERE pid = " + pid) != "0";
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(Psql("SELECT count(*) FROM pg_namespace WHERE nspname = '" + schema_ + "'"), "0");
}

}  // namespace
}  // namespace corvalen::testing
