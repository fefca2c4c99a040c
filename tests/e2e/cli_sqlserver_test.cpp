// The console program end to end on SQL Server's protocol: FreeTDS talking
// to the TDS test server (tests/tds) that this test process runs, on Linux
// and, for the Windows program, through Wine's odbc32.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
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
  // Each connection first asks whether the server names transactions; each
  // transaction starts with implicit transactions on and the baseline, each
  // group is followed by the check, and implicit transactions go off again
  // before the commit.
  const std::string probe = "batch: SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2";
  const std::string asked = "SELECT @@TRANCOUNT, CURRENT_TRANSACTION_ID(), @@OPTIONS & 2";
  const std::string begin =
      "tx batch: SET IMPLICIT_TRANSACTIONS ON\r\nIF @@TRANCOUNT = 0 SELECT TOP (0) 1 FROM "
      "sys.objects\r\n" + asked;
  const std::string after = "tx batch: " + asked;
  const std::string off = "tx batch: SET IMPLICIT_TRANSACTIONS OFF";
  const Journal expected = {"login CATALOGOS", probe, "tm begin", begin, bien, after, off,
                            "tm commit+begin", "tm rollback", "tm begin", begin,
                            "tx batch: <largo>", after, off, "tm commit+begin", "tm rollback",
                            // The empty transaction closed at the change of entity.
                            "tm begin", begin, off, "tm commit+begin", "tm rollback", "login NCM",
                            probe, "tm begin", begin,
                            "tx batch: USE master\r\n\r\nINSERT INTO monedas VALUES (1)\r\n",
                            after, off, "tm commit+begin", "tm rollback",
                            // The next script of NCM starts in NCM again.
                            "batch: USE [NCM]", "tm begin", begin, bien, after, off,
                            "tm commit+begin", "tm rollback"};
  Journal journal = server_.Journal();
  for (std::string& entry : journal) {
    if (entry.size() > 40000) entry = "tx batch: <largo>";
  }
  EXPECT_EQ(journal, expected);
  // The long batch arrived whole (in many packets).
  const std::string largo = ReadAll(std::string(CORVALEN_TEST_DATA) + "/tds/largo.sql");
  const size_t go = largo.find("GO\r\n");
  ASSERT_GE(server_.Batches().size(), 7u);
  EXPECT_EQ(server_.Batches()[6].substr(0, go), largo.substr(0, go));
}

TEST_F(CliSqlServerTest, EveryFailureEndsTheRunRolledBackAndSaysWhere) {
  const struct {
    const char* fixture;
    std::string ncm_extra;
    std::string told;     // in the failure message
    std::string or_told = "";  // or this, where two limits race
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

// Whatever a script does with its transaction, at TDS 7.1 (FreeTDS begins
// with the text BEGIN TRANSACTION) and 7.4 (a transaction-manager request).
class CliSqlServerGuardTest : public CliSqlServerTest,
                              public ::testing::WithParamInterface<const char*> {};
INSTANTIATE_TEST_SUITE_P(Versions, CliSqlServerGuardTest, ::testing::Values("7.1", "7.4"),
                         [](const auto& info) {
                           return std::string("Tds") + (info.param[0]) + info.param[2];
                         });

TEST_P(CliSqlServerGuardTest, AllOrNothingWhateverTheScriptDoesWithItsTransaction) {
  const std::string one = "INSERT INTO aranceles VALUES (1)";
  const std::string two = "INSERT INTO aranceles VALUES (2)";
  const struct {
    const char* fixture;
    std::string ncm_extra;
    int exit_code;
    Journal kept;       // on the server afterwards
    std::string told;   // in the failure
    bool partly_applied;
  } cases[] = {
      {"propia_abierta.sql", "PiecesPerCall=1\n", 2, {},
       "Al terminar, el script dejó abierta una transacción propia", false},
      {"commit_en_medio.sql", "PiecesPerCall=1\n", 2, {one},
       "se la encontró terminada después del grupo de las líneas 1-3, y lo que el script "
       "ejecutó hasta ahí puede haber quedado aplicado.",
       true},
      {"rollback_y_sigue.sql", "", 2, {}, "después del grupo de las líneas 1-3", true},
      // A procedure that commits: the text does not show it, the count does.
      {"commit_oculto.sql", "PiecesPerCall=1\n", 2, {one}, "después del grupo de las líneas 1-2",
       true},
      {"anidada_equilibrada.sql", "PiecesPerCall=1\n", 0, {one, two}, "", false},
      // Compiled and not run: the check gets no answer, nothing is kept.
      {"noexec.sql", "", 2, {}, "dejó puesto SET NOEXEC ON", false},
      {"implicitas_apagadas.sql", "PiecesPerCall=1\n", 2, {}, "después del grupo de las líneas 4-5",
       true},
      // A server that stops answering: within the bound and the grace.
      {"mudo_en_comprobacion.sql", "CommandTimeout=1\n", 2, {},
       "No se pudo comprobar la transacción del script después del grupo de las líneas 1-2: ",
       false},
      {"mudo_en_confirmacion.sql", "CommandTimeout=1\n", 2, {}, "puede haber quedado aplicado",
       true},
      {"cortada_en_confirmacion.sql", "", 2, {},
       "No se sabe si la transacción del script se confirmó, y el script puede haber quedado "
       "aplicado: ",
       true},
  };
  const std::string report = (folder_.path() / "informe.json").string();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    folder_.CopyFixture(std::string("tds/") + c.fixture, "NCM_01.sql");
    Config(c.ncm_extra, GetParam());
    server_.ClearJournal();
    const auto start = std::chrono::steady_clock::now();
    const CliResult r = RunCli({"--scripts", folder_.path().string(), "--config",
                                (folder_.path() / "quorvexconfig.ini").string(), "--report",
                                report});
    // The bound (1 s and the ODBC second) and the grace (3 s), with room
    // for the program's start (under Wine too).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(r.exit_code, c.exit_code) << r.err;
    EXPECT_EQ(server_.Kept(), c.kept);
    EXPECT_NE(r.err.find(c.told), std::string::npos) << r.err;
    // The run's own rollback after the script's is no news.
    EXPECT_EQ(r.err.find("no corresponding BEGIN TRANSACTION"), std::string::npos) << r.err;
    std::ifstream in(report);
    const nlohmann::json json = nlohmann::json::parse(in);
    EXPECT_EQ(json["scripts"][0]["outcome"], c.exit_code == 0 ? "ok" : "failed");
    EXPECT_EQ(json["scripts"][0]["partly_applied"], c.partly_applied);
  }
}

}  // namespace
}  // namespace corvalen::testing
