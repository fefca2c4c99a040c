// The console program end to end through ODBC on the private PostgreSQL
// server that the test command starts (CORVALEN_TEST_PG_CONN): a scripts
// folder whose entities all reach it, each test in a schema of its own.
#ifndef CORVALEN_TESTS_E2E_CLI_POSTGRES_FIXTURE_H_
#define CORVALEN_TESTS_E2E_CLI_POSTGRES_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {

class CliPostgresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("CORVALEN_TEST_PG_CONN") || !std::getenv("CORVALEN_TEST_PG_PORT")) {
      GTEST_SKIP() << "no PostgreSQL test server (CORVALEN_TEST_PG_CONN unset)";
    }
    std::random_device rd;
    schema_ = "e2e_" + std::to_string(rd() % 100000000);
    // The connection string comes from the environment, never from the file.
    folder_.Write("quorvexconfig.ini",
                  "[CATALOGOS]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n"
                  "[NCM]\nProvider=odbc\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n"
                  "[PERSONAL]\nProvider=odbc\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n");
  }
  void TearDown() override {
    if (!schema_.empty()) Psql("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE");
  }
  static std::string Psql(const std::string& sql) { return PostgresQuery(sql); }
  bool TableExists(const std::string& table) {
    return Psql("SELECT count(*) FROM information_schema.tables WHERE table_schema = '" + schema_ +
                "' AND table_name = '" + table + "'") == "1";
  }
  void Script(const std::string& name, const std::string& text) {
    std::string crlf;
    for (char c : text) {
      if (c == '\n') crlf += '\r';
      crlf += c;
    }
    folder_.Write(name, crlf);
  }
  CliResult Run() {
    return RunCli({"--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string()});
  }

  ScriptsFolder folder_;
  std::string schema_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_E2E_CLI_POSTGRES_FIXTURE_H_
