// The console program's rehearsal end to end on SQLite, PostgreSQL and SQL
// Server's protocol: what it says, and that the databases are left exactly
// as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/cli_postgres_fixture.h"
#include "tests/e2e/cli_rehearse_fixture.h"
#include "tests/e2e/cli_runner.h"
#include "tests/e2e/cli_sqlite_fixture.h"
#include "tests/tds/tds_test_server.h"

namespace corvalen::testing {
namespace {

const std::string kFirstLine =
    "ENSAYO: cada script se ejecuta y se deshace al terminar su entidad; no se aplica nada.";

class CliRehearseSqliteTest : public CliSqliteTest {
 protected:
  CliResult Rehearse(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--rehearse", "--scripts", folder_.path().string(),
                                     "--config", (folder_.path() / "quorvexconfig.ini").string(),
                                     "--report", (folder_.path() / "informe.json").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(args);
  }
  std::string Dumps() { return SqliteDump(erp_) + "\n--\n" + SqliteDump(personal_); }
  // Data of the customer's that no rehearsal may change.
  void Seed() {
    SqliteQuery(erp_, "CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT);"
                      "INSERT INTO clientes VALUES (1, 'Acme')");
  }
};

TEST_F(CliRehearseSqliteTest, EverythingWouldApplyAndNothingIsKept) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/catalogos_paises.sql", "CATALOGOS_02.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config();
  Seed();
  const std::string before = Dumps();
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.OutLines(),
            (std::vector<std::string>{
                kFirstLine, "CATALOGOS_01.sql ••• OK.", "CATALOGOS_02.sql•• OK.", "NCM_01.sql•• OK.",
                "PERSONAL_01.sql•• OK.",
                "Ensayo terminado: 4 scripts se aplicarían, 0 fallarían, 0 no se ensayaron. "
                "Nada quedó aplicado."}));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Dumps(), before);
  EXPECT_EQ(Report()["mode"], "rehearsal");
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply/1", "would-apply/1",
                                                  "would-apply/1", "would-apply/1"}));
}

TEST_F(CliRehearseSqliteTest, AFailedScriptIsUndoneAtItsSavepointAndTheRestIsRehearsed) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/ncm_falla.sql", "NCM_02.sql");
  // Reads what NCM_01 made, which the failure of NCM_02 must not undo.
  folder_.CopyFixture("e2e/ncm_ensayo_depende.sql", "NCM_03.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config();
  Seed();
  const std::string before = Dumps();
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(r.OutLines(),
            (std::vector<std::string>{
                kFirstLine, "CATALOGOS_01.sql ••• OK.", "NCM_01.sql•• OK.", "NCM_02.sql••• ERROR!",
                "NCM_03.sql•• OK. (ensayado después de uno fallido)", "PERSONAL_01.sql•• OK.",
                "Ensayo terminado: 4 scripts se aplicarían, 1 fallaría, 0 no se ensayaron. "
                "Nada quedó aplicado."}));
  // The run's message, then where it failed and the failing text.
  const std::string path = (folder_.path() / "NCM_02.sql").string();
  EXPECT_NE(r.err.find("no such table: no_existe Actualización Cancelada. Script: " + path),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("\nScript: " + path + ", líneas 5-7 (grupo de piezas 2..2)\n\n-- ALTER"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Dumps(), before);
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply/1", "would-apply/1",
                                                  "would-fail/2", "would-apply/1",
                                                  "would-apply/1"}));
  EXPECT_EQ(Report()["failure"]["script"], path);
  EXPECT_EQ(Report()["exit_code"], 2);
}

TEST_F(CliRehearseSqliteTest, ATimeOutEndsTheEntitysRehearsal) {
  folder_.CopyFixture("e2e/ncm_funcion_larga.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_02.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config("CommandTimeout=1\n");
  const std::string before = Dumps();
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(Dumps(), before);
  const std::vector<std::string> outcomes = Outcomes();
  // Given up instead on a machine so loaded that the call outlasts the
  // grace period: the program then ends at once.
  if (Report()["failure"]["message"] == "Se agotó el tiempo de espera del comando (1 s).") {
    EXPECT_EQ(outcomes, (std::vector<std::string>{"would-fail/1", "not-rehearsed/0",
                                                  "would-apply/1"}));
    EXPECT_EQ(r.OutLines()[2], "NCM_02.sql no ensayado.");
    EXPECT_EQ(r.OutLines().back(),
              "Ensayo terminado: 1 script se aplicaría, 1 fallaría, 1 no se ensayó. Nada quedó "
              "aplicado.");
  }
}

TEST_F(CliRehearseSqliteTest, BadUsageAndTheAccessTag) {
  Config("Tag=ACCESS\n");
  EXPECT_EQ(RunCli({"--rehearse", "--check", "--scripts", folder_.path().string()}).exit_code, 64);
  EXPECT_EQ(RunCli({"--rehearse", "--list", "--scripts", folder_.path().string()}).exit_code, 64);
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  Seed();
  const std::string before = Dumps();
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(Dumps(), before);
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply/1", "not-rehearsed/0"}));
}

// A rehearsal's outcomes are a run's, up to the run's first failure, on
// random scripts; the rehearsed databases stay as they were.
TEST_F(CliRehearseSqliteTest, OutcomesMatchARealRunOnACopy) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    ScriptsFolder rehearsed, run;
    for (ScriptsFolder* f : {&rehearsed, &run}) {
      f->NewSqliteDatabase("cat.db");
      f->NewSqliteDatabase("ncm.db");
      f->Write("quorvexconfig.ini",
               "[CATALOGOS]\nProvider=sqlite\nConnection=cat.db\n"
               "[NCM]\nProvider=sqlite\nConnection=ncm.db\n");
      std::mt19937 random(seed);
      for (const auto& [name, text] : RandomScripts(random, "", "")) f->Write(name, text);
    }
    const std::string before = SqliteDump(rehearsed.path() / "cat.db") +
                               SqliteDump(rehearsed.path() / "ncm.db");
    const DifferentialRuns runs = RehearseAndRun(rehearsed, run);
    EXPECT_EQ(SqliteDump(rehearsed.path() / "cat.db") + SqliteDump(rehearsed.path() / "ncm.db"),
              before);
    ExpectSameOutcomesUpToTheFirstFailure(runs);
  }
}

class CliRehearsePostgresTest : public CliPostgresTest {
 protected:
  CliResult Rehearse() {
    return RunCli({"--rehearse", "--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string(), "--report",
                   (folder_.path() / "informe.json").string()});
  }
  nlohmann::json Report() {
    return nlohmann::json::parse(std::ifstream(folder_.path() / "informe.json"));
  }
  // The schema made by the test, with data of the customer's.
  void Seed() {
    Psql("CREATE SCHEMA " + schema_ + "; CREATE TABLE " + schema_ +
         ".padre (id int PRIMARY KEY); INSERT INTO " + schema_ + ".padre VALUES (1)");
  }
};

TEST_F(CliRehearsePostgresTest, GoodAndFailingScriptsLeaveTheDatabaseAsItWas) {
  Seed();
  const std::string s = schema_;
  Script("CATALOGOS_01.sql", "CREATE TABLE " + s + ".monedas (codigo text);\nGO\nINSERT INTO " +
                                 s + ".monedas VALUES ('MXN');\nUPDATE " + s +
                                 ".padre SET id = 2;\nGO\n");
  // The foreign key is checked where a run would commit, and refused there.
  Script("NCM_01.sql", "CREATE TABLE " + s + ".hijo (p int REFERENCES " + s +
                           ".padre DEFERRABLE INITIALLY DEFERRED);\nINSERT INTO " + s +
                           ".hijo VALUES (7);\nGO\n");
  Script("NCM_02.sql", "SELECT codigo FROM " + s + ".monedas;\nINSERT INTO " + s +
                           ".padre VALUES (3);\nGO\n");
  Script("NCM_03.sql", "INSERT INTO " + s + ".no_existe VALUES (1);\nGO\n");
  Script("PERSONAL_01.sql", "CREATE TABLE " + s + ".empleados (n int);\nGO\n");
  const std::string before = PostgresDump(s);
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(PostgresDump(s), before);
  const nlohmann::json report = Report();
  std::vector<std::string> outcomes;
  for (const auto& script : report["scripts"]) outcomes.push_back(script["outcome"]);
  // Entities do not see each other's rehearsed work: NCM_02 fails on the
  // table CATALOGOS_01 made (a limit of the rehearsal).
  EXPECT_EQ(outcomes, (std::vector<std::string>{"would-apply", "would-fail", "would-fail",
                                                "would-fail", "would-apply"}));
  EXPECT_NE(report["scripts"][1]["message"].get<std::string>().find(
                "No se pudo confirmar la transacción del script: "),
            std::string::npos);
  EXPECT_EQ(r.OutLines().back(),
            "Ensayo terminado: 2 scripts se aplicarían, 3 fallarían, 0 no se ensayaron. Nada "
            "quedó aplicado.");
}

TEST_F(CliRehearsePostgresTest, ATimeOutEndsTheEntitysRehearsal) {
  Seed();
  folder_.Write("quorvexconfig.ini",
                "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\nCommandTimeout=1\n");
  Script("NCM_01.sql", "INSERT INTO " + schema_ + ".padre VALUES (5);\nGO\n");
  Script("NCM_02.sql", "SET statement_timeout = 0;\nSELECT pg_sleep(30);\nGO\n");
  Script("NCM_03.sql", "INSERT INTO " + schema_ + ".padre VALUES (6);\nGO\n");
  const std::string before = PostgresDump(schema_);
  CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(PostgresDump(schema_), before);
  const nlohmann::json report = Report();
  std::vector<std::string> outcomes;
  for (const auto& script : report["scripts"]) outcomes.push_back(script["outcome"]);
  EXPECT_EQ(outcomes, (std::vector<std::string>{"would-apply", "would-fail", "not-rehearsed"}));
}

TEST_F(CliRehearsePostgresTest, OutcomesMatchARealRunOnACopy) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    SCOPED_TRACE(seed);
    // The run's copy of the database is a schema of its own.
    const std::string rehearsed_schema = schema_ + "_e" + std::to_string(seed);
    const std::string run_schema = schema_ + "_r" + std::to_string(seed);
    ScriptsFolder rehearsed, run;
    for (auto [f, schema] : {std::pair{&rehearsed, rehearsed_schema}, {&run, run_schema}}) {
      Psql("CREATE SCHEMA " + schema);
      f->Write("quorvexconfig.ini",
               "[CATALOGOS]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n"
               "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n");
      std::mt19937 random(seed);
      for (const auto& [name, text] : RandomScripts(random, schema + ".cat_", schema + ".ncm_")) {
        f->Write(name, text);
      }
    }
    const std::string before = PostgresDump(rehearsed_schema);
    const DifferentialRuns runs = RehearseAndRun(rehearsed, run);
    EXPECT_EQ(PostgresDump(rehearsed_schema), before);
    ExpectSameOutcomesUpToTheFirstFailure(runs, {run_schema, rehearsed_schema});
    Psql("DROP SCHEMA " + rehearsed_schema + " CASCADE; DROP SCHEMA " + run_schema + " CASCADE");
  }
}


// SQL Server's protocol: FreeTDS and the TDS test server, whose record
// tells what was kept and how many transactions committed.
class CliRehearseSqlServerTest : public ::testing::Test {
 protected:
  void Config() {
    folder_.Write("quorvexconfig.ini",
                  "[CATALOGOS]\nProvider=odbc\nConnection=" + server_.ConnectionString("CATALOGOS") +
                      "\n[NCM]\nProvider=odbc\nConnection=" + server_.ConnectionString("NCM") +
                      "\n");
  }
  CliResult Rehearse() {
    return RunCli({"--rehearse", "--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string(), "--report",
                   (folder_.path() / "informe.json").string()});
  }
  std::vector<std::string> Outcomes() const {
    const nlohmann::json report =
        nlohmann::json::parse(std::ifstream(folder_.path() / "informe.json"));
    std::vector<std::string> out;
    for (const auto& s : report["scripts"]) out.push_back(s["outcome"]);
    return out;
  }
  // Nothing reached the server as a commit, nor was kept.
  void ExpectNothingKept() {
    EXPECT_EQ(server_.Commits(), 0);
    EXPECT_TRUE(server_.Kept().empty());
  }

  TdsTestServer server_;
  ScriptsFolder folder_;
};

TEST_F(CliRehearseSqlServerTest, FailuresAndCommitsARunWouldMakeAreToldAndNothingIsKept) {
  folder_.CopyFixture("tds/bien.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("tds/anidada_equilibrada.sql", "NCM_01.sql");
  folder_.CopyFixture("tds/falla_en_medio.sql", "NCM_02.sql");
  folder_.CopyFixture("tds/propia_abierta.sql", "NCM_03.sql");
  folder_.CopyFixture("tds/commit_en_medio.sql", "NCM_04.sql");
  folder_.CopyFixture("tds/ensayo_dos_commit.sql", "NCM_05.sql");
  folder_.CopyFixture("tds/ensayo_while_commit.sql", "NCM_06.sql");
  folder_.CopyFixture("tds/bien.sql", "NCM_07.sql");
  Config();
  const CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply", "would-apply", "would-fail",
                                                  "would-fail", "would-fail", "would-fail",
                                                  "would-fail", "would-apply"}));
  EXPECT_EQ(r.OutLines().back(),
            "Ensayo terminado: 3 scripts se aplicarían, 5 fallarían, 0 no se ensayaron. Nada "
            "quedó aplicado.");
  EXPECT_NE(r.err.find("Al terminar, el script dejó abierta una transacción propia"),
            std::string::npos)
      << r.err;
  // The groups holding an unbalanced COMMIT never reached the server.
  for (const std::string& batch : server_.Batches()) {
    EXPECT_EQ(batch.find("COMMIT\r\nCOMMIT"), std::string::npos);
    EXPECT_EQ(batch.find("WHILE"), std::string::npos);
    EXPECT_EQ(batch.find("COMMIT TRAN\r\nBEGIN TRAN"), std::string::npos);
  }
  ExpectNothingKept();
}

TEST_F(CliRehearseSqlServerTest, AHiddenCommitTakesOnlyTheRehearsalsOwnLevel) {
  folder_.CopyFixture("tds/bien.sql", "NCM_01.sql");
  folder_.CopyFixture("tds/ensayo_commit_oculto.sql", "NCM_02.sql");
  folder_.CopyFixture("tds/bien.sql", "NCM_03.sql");
  Config();
  const CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  // Told as the run would tell it, and the entity goes on.
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"would-apply", "would-fail", "would-apply"}));
  EXPECT_NE(r.err.find("puede haber quedado aplicado"), std::string::npos) << r.err;
  EXPECT_EQ(r.OutLines().back(),
            "Ensayo terminado: 2 scripts se aplicarían, 1 fallaría, 0 no se ensayaron. Nada "
            "quedó aplicado.");
  ExpectNothingKept();
}

TEST_F(CliRehearseSqlServerTest, EachScriptStartsInTheEntitysOwnDatabase) {
  folder_.CopyFixture("tds/usa_master.sql", "NCM_01.sql");
  folder_.CopyFixture("tds/bien.sql", "NCM_02.sql");
  Config();
  const CliResult r = Rehearse();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // The second script's savepoint comes after the database is set back.
  std::vector<std::string> seen;
  for (const std::string& batch : server_.Batches()) {
    if (batch.starts_with("USE") || batch.starts_with("SAVE")) seen.push_back(batch.substr(0, 10));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"SAVE TRANS", "USE master", "USE [NCM]", "SAVE TRANS"}));
  ExpectNothingKept();
}

TEST_F(CliRehearseSqlServerTest, AScriptsRollbackOrAnErrorUnderXactAbortEndsTheEntity) {
  for (const char* fixture : {"tds/rollback_y_sigue.sql", "tds/ensayo_xact_abort.sql"}) {
    SCOPED_TRACE(fixture);
    server_.ClearJournal();
    folder_.CopyFixture("tds/bien.sql", "NCM_01.sql");
    folder_.CopyFixture(fixture, "NCM_02.sql");
    folder_.CopyFixture("tds/bien.sql", "NCM_03.sql");
    Config();
    const CliResult r = Rehearse();
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_EQ(Outcomes(),
              (std::vector<std::string>{"would-apply", "would-fail", "not-rehearsed"}));
    EXPECT_EQ(r.OutLines().back(),
              "Ensayo terminado: 1 script se aplicaría, 1 fallaría, 1 no se ensayó. Nada quedó "
              "aplicado.");
    ExpectNothingKept();
  }
}

}  // namespace
}  // namespace corvalen::testing
