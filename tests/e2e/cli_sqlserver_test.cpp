// The console program end to end on SQL Server's protocol: FreeTDS talking
// to the TDS test server (tests/tds) that this test process runs, on Linux
// and, for the Windows program, through Wine's odbc32.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/cli_runner.h"
#include "tests/tds/tds_test_server.h"

namespace corvalen::testing {
namespace {

using Journal = std::vector<std::string>;

class CliSqlServerTest : public ::testing::Test {
 protected:
  // CATALOGOS and NCM, each in a database of its name on the test server.
  void Config(const std::string& ncm_extra = "", const std::string& version = "7.4",
              const std::string& ncm_password = "pw") {
    folder_.Write(
        "quorvexconfig.ini",
        "[CATALOGOS]\nProvider=odbc\nConnection=" + server_.ConnectionString("CATALOGOS", version) +
            "\n[NCM]\nProvider=odbc\nConnection=" +
            server_.ConnectionString("NCM", version, ncm_password) + "\n" + ncm_extra);
  }
  CliResult Run(const std::string& option = "") {
    std::vector<std::string> args = {"--scripts", folder_.path().string(), "--config",
                                     (folder_.path() / "quorvexconfig.ini").string()};
    if (!option.empty()) args.push_back(option);
    return RunCli(args);
  }
  std::string Path(const std::string& script) const { return (folder_.path() / script).string(); }

  TdsTestServer server_;
  ScriptsFolder folder_;
};

TEST_F(CliSqlServerTest, AWholeRunSendsTheGroupsThatCheckListsInOneTransactionEach) {
  folder_.CopyFixture("tds/bien.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("tds/largo.sql", "CATALOGOS_02.sql");
  folder_.CopyFixture("tds/usa_master.sql", "NCM_01.sql");
  folder_.CopyFixture("tds/bien.sql", "NCM_02.sql");
  Config();
  const CliResult check = Run("--check");
  EXPECT_NE(check.out.find("CATALOGOS_01.sql: 3 piezas, 1 llamada\n  llamada 1: líneas 1-8\n"
                           "CATALOGOS_02.sql: 1 pieza, 1 llamada\n  llamada 1: líneas 1-601\n"
                           "NCM_01.sql: 2 piezas, 1 llamada\n  llamada 1: líneas 1-3\n"),
            std::string::npos)
      << check.out;
  const CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string bien =
      "tx batch: INSERT INTO monedas VALUES (1)\r\nPRINT 'Monedas cargadas'\r\n\r\n"
      "RAISERROR('Solo un aviso', 10, 1)\r\nEXEC tds_rows 50\r\n\r\n\r\n"
      "UPDATE monedas SET codigo = 2\r\n";
  // After each group the run asks whether the script's transaction is still open.
  const std::string count = "tx batch: SELECT @@TRANCOUNT";
  const Journal expected = {"login CATALOGOS", "tm begin", bien, count, "tm commit+begin",
                            "tm rollback", "tm begin", "tx batch: <largo>", count,
                            "tm commit+begin", "tm rollback",
                            // The empty transaction closed at the change of entity.
                            "tm begin", "tm commit+begin", "tm rollback", "login NCM", "tm begin",
                            "tx batch: USE master\r\n\r\nINSERT INTO monedas VALUES (1)\r\n",
                            count, "tm commit+begin", "tm rollback",
                            // The next script of NCM starts in NCM again.
                            "batch: USE [NCM]", "tm begin", bien, count, "tm commit+begin",
                            "tm rollback"};
  Journal journal = server_.Journal();
  for (std::string& entry : journal) {
    if (entry.size() > 40000) entry = "tx batch: <largo>";
  }
  EXPECT_EQ(journal, expected);
  // The long batch arrived whole (in many packets).
  const std::string largo = ReadAll(std::string(CORVALEN_TEST_DATA) + "/tds/largo.sql");
  const size_t go = largo.find("GO\r\n");
  ASSERT_GE(server_.Batches().size(), 3u);
  EXPECT_EQ(server_.Batches()[2].substr(0, go), largo.substr(0, go));
}

TEST_F(CliSqlServerTest, EveryFailureEndsTheRunRolledBackAndSaysWhere) {
  const struct {
    const char* fixture;
    std::string ncm_extra;
    std::string told;     // in the failure message
    std::string or_told;  // or this, where two limits race
  } cases[] = {
      {"falla_en_medio.sql", "",
       "Invalid object name 'no_existe'., Line 4 Actualización Cancelada. Script: "},
      {"falla_primera.sql", "", "Invalid object name 'no_existe'., Line 1 Actualización"},
      {"error_sin_texto.sql", "", "El servidor dio el lote por fallido sin decir por qué."},
      {"error_en_filas.sql", "", "Divide by zero error encountered., Line 2 Actualización"},
      // The driver's time-out and the watchdog's cancel fall due together.
      {"espera.sql", "CommandTimeout=1\n", "Timeout expired",
       "Se agotó el tiempo de espera del comando (1 s)."},
      {"servidor_mudo.sql", "CommandTimeout=1\n",
       "Timeout expired\nSe perdió la conexión con el servidor. (RollbackTrans: ",
       "Se agotó el tiempo de espera del comando (1 s). (RollbackTrans: "},
      {"conexion_cortada.sql", "",
       "Unknown error\nSe perdió la conexión con el servidor. (RollbackTrans: "},
      // The line the driver names, not the "Line 12" of the message's text.
      {"linea_en_datos.sql", "", "Valor (Line 12) repetido, Line 4 Actualización"},
  };
  folder_.CopyFixture("tds/bien.sql", "CATALOGOS_01.sql");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    folder_.CopyFixture(std::string("tds/") + c.fixture, "NCM_01.sql");
    Config(c.ncm_extra);
    server_.ClearJournal();
    const CliResult r = Run();
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_TRUE(r.err.find(c.told) != std::string::npos ||
                (!c.or_told.empty() && r.err.find(c.or_told) != std::string::npos))
        << r.err;
    EXPECT_EQ(r.err.find("Unknown error", r.err.find("Unknown error") + 1), std::string::npos);
    // The first script committed, the failing one never.
    const Journal journal = server_.Journal();
    const auto ncm = std::find(journal.begin(), journal.end(), "login NCM");
    EXPECT_EQ(std::count(journal.begin(), ncm, "tm commit+begin"), 2);
    EXPECT_EQ(std::count(ncm, journal.end(), "tm commit+begin"), 0);
  }
  // Where the failing line stands in the file.
  folder_.CopyFixture("tds/linea_en_datos.sql", "NCM_01.sql");
  Config();
  EXPECT_NE(Run().err.find("(grupo de piezas 0..1), línea 4\n"), std::string::npos);
}

TEST_F(CliSqlServerTest, TdsSevenOneAndAPasswordInBracesAtTheEnd) {
  folder_.CopyFixture("tds/bien.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("tds/falla_en_medio.sql", "NCM_01.sql");
  Config("", "7.1", "{s3cr;et}");
  const CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_NE(r.err.find("Invalid object name 'no_existe'., Line 4"), std::string::npos) << r.err;
  const Journal batches = server_.Batches();
  EXPECT_EQ(std::count(batches.begin(), batches.end(), "BEGIN TRANSACTION"), 3);
  EXPECT_EQ(
      std::count(batches.begin(), batches.end(), "IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION"), 2);
  ASSERT_EQ(server_.Logins().size(), 2u);
  EXPECT_EQ(server_.Logins()[1].tds_version, "7.1");
  EXPECT_EQ(server_.Logins()[1].password, "s3cr;et");
  EXPECT_EQ(r.err.find("s3cr"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace corvalen::testing
