// The console program end to end through ODBC on the private PostgreSQL
// server that the test command starts (CORVALEN_TEST_PG_CONN).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/e2e/cli_postgres_fixture.h"
#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {
namespace {

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
                "CATALOGOS_01.sql ••••• OK.", "NCM_01.sql•• OK.", "PERSONAL_01.sql•• OK.",
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
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n");
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

TEST_F(CliPostgresTest, ACommitThatFailsIsAFailedScript) {
  Script("NCM_01.sql", "CREATE SCHEMA " + schema_ + ";\nCREATE TABLE " + schema_ +
                           ".padre (id int PRIMARY KEY);\nGO\n");
  // The foreign key is checked at the commit, which refuses it.
  Script("NCM_02.sql", "CREATE TABLE " + schema_ + ".hijo (p int REFERENCES " + schema_ +
                           ".padre DEFERRABLE INITIALLY DEFERRED);\nINSERT INTO " + schema_ +
                           ".hijo VALUES (7);\nGO\n");
  const std::string report = (folder_.path() / "informe.json").string();
  CliResult r = RunCli({"--scripts", folder_.path().string(), "--config",
                        (folder_.path() / "quorvexconfig.ini").string(), "--report", report});
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"NCM_01.sql ••• OK.", "NCM_02.sql•• ERROR!"}));
  EXPECT_TRUE(TableExists("padre"));
  EXPECT_FALSE(TableExists("hijo"));
  const nlohmann::json json = nlohmann::json::parse(std::ifstream(report));
  EXPECT_EQ(json["scripts"][1]["outcome"], "failed");
  EXPECT_NE(json["failure"]["message"].get<std::string>().find("No se pudo confirmar"),
            std::string::npos);
}

TEST_F(CliPostgresTest, TheCommandTimeoutHoldsWhenTheScriptLiftsTheServersOwnLimit) {
  folder_.Write("quorvexconfig.ini",
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\nCommandTimeout=1\n");
  // The script lifts the server's own limit, which the driver set.
  Script("NCM_01.sql", "CREATE SCHEMA " + schema_ + ";\nSET statement_timeout = 0;\n"
                           "SELECT pg_sleep(30);\nGO\n");
  const auto start = std::chrono::steady_clock::now();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_NE(r.err.find("Se agotó el tiempo de espera del comando (1 s)."), std::string::npos)
      << r.err;
  EXPECT_EQ(Psql("SELECT count(*) FROM pg_namespace WHERE nspname = '" + schema_ + "'"), "0");

}

}  // namespace
}  // namespace corvalen::testing
