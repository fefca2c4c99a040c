// The console program end to end through ODBC on the private PostgreSQL
// server that the test command starts (CORVALEN_TEST_PG_CONN).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {
namespace {

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
                  "[CATALOGOS]\nConnection=${CORVALEN_TEST_PG_CONN}\n"
                  "[NCM]\nProvider=odbc\nConnection=${CORVALEN_TEST_PG_CONN}\n"
                  "[PERSONAL]\nProvider=odbc\nConnection=${CORVALEN_TEST_PG_CONN}\n");
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

TEST_F(CliPostgresTest, AllGoodOverThreeCategories) {
  Script("CATALOGOS_01.sql", "CREATE SCHEMA " + schema_ + ";\nGO\nCREATE TABLE " + schema_ +
                                 ".monedas (codigo text PRIMARY KEY);\nINSERT INTO " + schema_ +
                                 ".monedas VALUES ('MXN');\nGO\n");
  Script("NCM_01.sql", "CREATE TABLE " + schema_ + ".aranceles (f text);\nGO\n");
  Script("PERSONAL_01.sql", "CREATE TABLE " + schema_ +
                                ".empleados (n int);\ngo\nINSERT INTO " + schema_ +
                                ".empleados VALUES (1), (2);\nGO\n");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.OutLines(),
            (std::vector<std::string>{
                "CATALOGOS_01.sql ••• OK.", "NCM_01.sql•• OK.", "PERSONAL_01.sql•• OK.",
                "Actualizacion completada, esta ventana se cerrará automaticamente."}));
  EXPECT_EQ(Psql("SELECT codigo FROM " + schema_ + ".monedas"), "MXN");
  EXPECT_EQ(Psql("SELECT count(*) FROM " + schema_ + ".empleados"), "2");
  EXPECT_TRUE(TableExists("aranceles"));
}

TEST_F(CliPostgresTest, AFailingScriptIsRolledBackWithItsEarlierGroups) {
  Script("CATALOGOS_01.sql", "CREATE SCHEMA " + schema_ + ";\nCREATE TABLE " + schema_ +
                                 ".monedas (codigo text);\nGO\n");
  Script("NCM_01.sql", "CREATE TABLE " + schema_ + ".parcial (x int);\nGO\nINSERT INTO " +
                           schema_ + ".parcial VALUES (1);\nGO\n-- CREATE FUNCTION marker\n"
                           "INSERT INTO " + schema_ + ".no_existe VALUES (1);\nGO\n");
  Script("PERSONAL_01.sql", "CREATE TABLE " + schema_ + ".empleados (n int);\nGO\n");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_TRUE(TableExists("monedas"));
  EXPECT_FALSE(TableExists("parcial"));
  EXPECT_FALSE(TableExists("empleados"));
  EXPECT_NE(r.err.find("no_existe"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" Actualización Cancelada. Script: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" - Linea: 2\n-- CREATE FUNCTION marker"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Pwd="), std::string::npos) << "no connection string in any message";
}

TEST_F(CliPostgresTest, AnUnreachableServerIsSkipped) {
  folder_.Write("quorvexconfig.ini",
                "[CATALOGOS]\nConnection=Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;"
                "Database=postgres;Uid=postgres;Pwd=s3cr3t;\n"
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\n");
  Script("CATALOGOS_01.sql", "SELECT 1;\nGO\n");
  Script("NCM_01.sql", "CREATE SCHEMA " + schema_ + ";\nGO\n");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.OutLines()[0], "CATALOGOS_01.sql ERROR!");
  EXPECT_EQ(r.OutLines()[1], "NCM_01.sql•• OK.");
  EXPECT_EQ(r.err.find("s3cr3t"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("in CorvalenSQL.Mod_Main.EstablecerEntidad at line 90"), std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace corvalen::testing
