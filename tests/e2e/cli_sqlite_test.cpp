// The console program end to end on real SQLite databases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <tuple>

#include "tests/e2e/cli_runner.h"
#include "tests/e2e/cli_sqlite_fixture.h"

namespace corvalen::testing {
namespace {

TEST_F(CliSqliteTest, AllGoodOverThreeCategories) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/catalogos_paises.sql", "CATALOGOS_02.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{
                              "CATALOGOS_01.sql ••• OK.", "CATALOGOS_02.sql•• OK.",
                              "NCM_01.sql•• OK.", "PERSONAL_01.sql•• OK.", kCompleted}));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(SqliteQuery(erp_, "SELECT codigo FROM monedas ORDER BY codigo"), "EUR\nMXN");
  EXPECT_EQ(SqliteQuery(erp_, "SELECT moneda FROM paises"), "MXN");
  EXPECT_EQ(SqliteQuery(erp_, "SELECT fraccion FROM aranceles"), "0101.21.01");
  EXPECT_EQ(SqliteQuery(personal_, "SELECT nombre FROM empleados"), "Ana");
  EXPECT_FALSE(TableExists(personal_, "monedas"));
  const nlohmann::json report = Report();
  EXPECT_EQ(report["version"], CORVALEN_VERSION);
  EXPECT_EQ(report["exit_code"], 0);
  EXPECT_TRUE(report["failure"].is_null());
  EXPECT_EQ(report["scripts"][2]["file"], "NCM_01.sql");
  EXPECT_EQ(report["scripts"][2]["entity"], "NCM");
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"ok/1", "ok/1", "ok/1", "ok/1"}));
  EXPECT_EQ(report["start"].get<std::string>().size(), 20u);  // 2026-12-08T10:15:30Z
}

TEST_F(CliSqliteTest, EmptyFolderCompletes) {
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{kCompleted}));
}

TEST_F(CliSqliteTest, AFailingScriptInTheMiddleIsRolledBackAndStopsTheRun) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/ncm_falla.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  // Earlier script committed; the failing one's first group undone; later not run.
  EXPECT_TRUE(TableExists(erp_, "monedas"));
  EXPECT_FALSE(TableExists(erp_, "parcial"));
  EXPECT_FALSE(TableExists(personal_, "empleados"));
  EXPECT_EQ(r.OutLines(),
            (std::vector<std::string>{"CATALOGOS_01.sql ••• OK.", "NCM_01.sql••• ERROR!"}));
  const std::string path = (folder_.path() / "NCM_01.sql").string();
  EXPECT_NE(r.err.find("¡Atencion!: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no such table: no_existe Actualización Cancelada. Script: " + path +
                       " - Linea: 2\n-- ALTER PROCEDURE"),
            std::string::npos)
      << r.err;
  // Then where the failing group is in the file, and its text as the
  // clipboard holds it.
  EXPECT_NE(r.err.find("\nScript: " + path + ", líneas 5-7 (grupo de piezas 2..2)\n\n-- ALTER"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.rfind("INSERT INTO no_existe VALUES (1);\n\n"), std::string::npos) << r.err;
  const nlohmann::json report = Report();
  EXPECT_EQ(report["exit_code"], 2);
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"ok/1", "failed/2", "not-run/0"}));
  EXPECT_EQ(report["failure"]["script"], path);
  EXPECT_EQ(report["failure"]["piece_index"], 2);
  EXPECT_EQ(report["failure"]["lines"], (nlohmann::json{{"first", 5}, {"last", 7}}));
  EXPECT_EQ(report["failure"]["message"], "no such table: no_existe");
  EXPECT_EQ(report["failure"]["text"].get<std::string>().substr(0, 17), "\r\n-- ALTER PROCED");
}

TEST_F(CliSqliteTest, AnUnreachableFirstEntityIsSkipped) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/catalogos_paises.sql", "CATALOGOS_02.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  Config("", "missing.db");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"CATALOGOS_01.sql ERROR!",
                                                    "CATALOGOS_02.sql ERROR!", "NCM_01.sql•• OK.",
                                                    kWithErrors}));
  EXPECT_TRUE(TableExists(erp_, "aranceles"));
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "missing.db")) << "never created";
  EXPECT_NE(r.err.find("Entidad buscada:CATALOGOS"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("CorvalenSQL v." CORVALEN_VERSION ": Error estableciendo conexion con la entidad "
                       "CATALOGOS en el archivo CATALOGOS_01.sql verifique"),
            std::string::npos)
      << r.err;
  // One report per failed entity, not one per script.
  EXPECT_EQ(r.err.find("Error estableciendo", r.err.find("Error estableciendo") + 1),
            std::string::npos);
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"error/0", "skipped/0", "ok/1"}));
  EXPECT_EQ(Report()["exit_code"], 1);
  EXPECT_NE(Report()["scripts"][0]["message"].get<std::string>().find("missing.db"),
            std::string::npos);
  EXPECT_EQ(Report()["scripts"][1]["message"],
            "No se ejecutó: no se pudo conectar con la entidad CATALOGOS.");
}

TEST_F(CliSqliteTest, AnUnreachableEntityInTheMiddleIsSkipped) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config("", "erp.db", "missing.db");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"CATALOGOS_01.sql ••• OK.", "NCM_01.sql ERROR!",
                                                    "PERSONAL_01.sql•• OK.", kWithErrors}));
  EXPECT_TRUE(TableExists(erp_, "monedas"));
  EXPECT_FALSE(TableExists(erp_, "aranceles"));
  EXPECT_TRUE(TableExists(personal_, "empleados"));
}

TEST_F(CliSqliteTest, AccessTagEndsTheRun) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  folder_.CopyFixture("e2e/ncm_aranceles.sql", "NCM_01.sql");
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config("Tag=ACCESS\n");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_EQ(r.err, "") << "the ACCESS end shows no message";
  EXPECT_TRUE(TableExists(erp_, "monedas"));
  EXPECT_FALSE(TableExists(erp_, "aranceles"));
  EXPECT_FALSE(TableExists(personal_, "empleados"));
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"ok/1", "not-run/0", "not-run/0"}));
  EXPECT_EQ(Report()["exit_code"], 3);
  EXPECT_EQ(Report()["scripts"][2]["message"],
            "La entidad NCM tiene la etiqueta ACCESS: el programa terminó sin ejecutar más scripts.");
  EXPECT_TRUE(Report()["scripts"][0]["message"].is_null());
}

TEST_F(CliSqliteTest, ANulCharacterFailsTheScriptAtItsLineBeforeAnythingIsSent) {
  folder_.Write("NCM_01.sql", std::string("CREATE TABLE t (a int);\r\nINSERT INTO t VALUES (1);\r\nGO\r\n"
                                          "DELETE FROM t\r\n-- \0\r\nWHERE a = 2;\r\nGO\r\n",
                                          95));
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_FALSE(TableExists(erp_, "t")) << "the whole script is rolled back";
  // One call holds both pieces; its line 5 is the file's line 5.
  const std::string path = (folder_.path() / "NCM_01.sql").string();
  EXPECT_NE(r.err.find("Script: " + path + ", líneas 1-6 (grupo de piezas 0..1), línea 5\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(Report()["failure"]["line"], 5);
}

TEST_F(CliSqliteTest, AReportThatCannotBeWrittenIsBadUsageBeforeAnythingRuns) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  Config();
  CliResult r = RunCli({"--scripts", folder_.path().string(), "--config",
                        (folder_.path() / "quorvexconfig.ini").string(), "--report",
                        (folder_.path() / "no" / "r.json").string()});
  EXPECT_EQ(r.exit_code, 64);
  EXPECT_FALSE(TableExists(erp_, "monedas"));
}

TEST_F(CliSqliteTest, AReportOverWhatTheRunNeedsIsBadUsageBeforeAnythingRuns) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  Config();
  std::filesystem::create_directory(folder_.path() / "carpeta");
  const std::string config = (folder_.path() / "quorvexconfig.ini").string();
  for (const std::string name : {"quorvexconfig.ini", "CATALOGOS_01.sql", "catalogos_02.SQL",
                                 "erp.db", "personal.db", "carpeta"}) {
    CliResult r = RunCli({"--scripts", folder_.path().string(), "--config", config, "--report",
                          (folder_.path() / name).string()});
    EXPECT_EQ(r.exit_code, 64) << name;
    EXPECT_NE(r.err.find("--report: "), std::string::npos) << r.err;
  }
  EXPECT_FALSE(TableExists(erp_, "monedas"));
  EXPECT_EQ(SqliteQuery(personal_, "SELECT count(*) FROM sqlite_master"), "0");
}

TEST_F(CliSqliteTest, AScriptCannotEndTheTransactionButKeepsItsSavepoints) {
  folder_.CopyFixture("e2e/personal_empleados.sql", "PERSONAL_01.sql");
  Config();
  const std::string path = (folder_.path() / "NCM_01.sql").string();
  for (const char* word : {"COMMIT", "END", "ROLLBACK"}) {
    SCOPED_TRACE(word);
    std::string fixture = std::string("e2e/ncm_") + word + "_begin.sql";
    std::transform(fixture.begin(), fixture.end(), fixture.begin(),
                   [](char c) { return static_cast<char>(std::tolower(c)); });
    folder_.CopyFixture(fixture, "NCM_01.sql");
    CliResult r = Run();
    EXPECT_EQ(r.exit_code, 2) << r.err;
    // Refused before it ran: nothing of the script stayed.
    EXPECT_FALSE(TableExists(erp_, "antes"));
    EXPECT_FALSE(TableExists(erp_, "despues"));
    EXPECT_FALSE(TableExists(personal_, "empleados"));
    EXPECT_NE(r.err.find("Un script no puede terminar ni abrir la transacción de la "
                         "actualización: " + std::string(word) + ", en la línea 4 del lote"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Script: " + path + ", líneas 1-7 (grupo de piezas 0..2), línea 4\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(Report()["scripts"][0]["partly_applied"], false);
  }
  folder_.CopyFixture("e2e/ncm_savepoints.sql", "NCM_01.sql");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(SqliteQuery(erp_, "SELECT x FROM guardado"), "2");
}

TEST_F(CliSqliteTest, TheCommandTimeoutBoundsOneLongFunctionCall) {
  folder_.CopyFixture("e2e/ncm_funcion_larga.sql", "NCM_01.sql");
  Config("CommandTimeout=1\n");
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_FALSE(TableExists(erp_, "lenta"));
  // Cancelled after the call that was running; on a machine so loaded that
  // the call outlasts the grace period, given up instead.
  const std::string message = Report()["failure"]["message"];
  EXPECT_TRUE(message == "Se agotó el tiempo de espera del comando (1 s)." ||
              message.rfind("El lote no terminó", 0) == 0)
      << message;
}

TEST_F(CliSqliteTest, CheckReportsCallsAndFindingsWithoutTouchingADatabase) {
  folder_.CopyFixture("check/rangos_mixto.sql", "CATALOGOS_01.sql");
  CliResult clean = RunCli({"--check", "--scripts", folder_.path().string()});
  EXPECT_EQ(clean.exit_code, 0) << clean.out;
  EXPECT_EQ(clean.OutLines(), (std::vector<std::string>{"CATALOGOS_01.sql: 3 piezas, 3 llamadas",
                                                        "  llamada 1: líneas 1-3",
                                                        "  llamada 2: líneas 6-6",
                                                        "  llamada 3: líneas 8-8"}));
  folder_.CopyFixture("check/sin_go.sql", "NCM_01.sql");
  CliResult findings = RunCli({"--check", "--scripts", folder_.path().string()});
  EXPECT_EQ(findings.exit_code, 5);
  EXPECT_EQ(findings.OutLines().back(), (folder_.path() / "NCM_01.sql").string() +
                                            ":1: error: no hay ningún GO que separe: no se ejecuta nada");
  EXPECT_EQ(RunCli({"--check", "--list"}).exit_code, 64);
}

// A block comment that a GO line cuts: SQLite would run the half after the
// cut (here a commented-out DELETE). The call that ends inside the comment
// is refused and the script rolled back, whether the half after the cut is
// sent alone (it names CREATE PROCEDURE) or the 21-piece limit cuts it.
TEST_F(CliSqliteTest, ACallEndingInsideACommentFailsTheScriptAndIsRolledBack) {
  // Also with every piece sent alone: the 21 pieces before the comment run,
  // and are rolled back.
  for (const auto& [fixture, line, extra] :
       {std::tuple<std::string, int, std::string>{"e2e/catalogos_comentario_rutina.sql", 5, ""},
        std::tuple<std::string, int, std::string>{"e2e/catalogos_comentario_21.sql", 43, ""},
        std::tuple<std::string, int, std::string>{"e2e/catalogos_comentario_21.sql", 43,
                                                  "PiecesPerCall = 1\n"}}) {
    SCOPED_TRACE(fixture);
    ScriptsFolder folder;
    const std::filesystem::path db = folder.NewSqliteDatabase("erp.db");
    folder.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
    folder.CopyFixture(fixture, "CATALOGOS_02.sql");
    folder.Write("quorvexconfig.ini", "[CATALOGOS]\nProvider=sqlite\nConnection=erp.db\n" + extra);
    CliResult r = RunCli({"--scripts", folder.path().string(), "--config",
                          (folder.path() / "quorvexconfig.ini").string()});
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_NE(r.err.find("El lote termina dentro de un comentario /* abierto en el renglón " +
                         std::to_string(line) + " del archivo"),
              std::string::npos)
        << r.err;
    // Two marks per call sent: the view's call, or those of the view and
    // the 20 inserts one by one.
    ASSERT_EQ(r.OutLines().size(), 2u) << r.out;
    EXPECT_EQ(r.OutLines()[1].size(), std::string("CATALOGOS_02.sql").size() +
                                          std::string("•").size() * (extra.empty() ? 2 : 42) +
                                          std::string(" ERROR!").size());
    // The first script's rows stay, nothing of the second does.
    EXPECT_EQ(SqliteQuery(db, "SELECT count(*) FROM monedas"), "2");
    EXPECT_FALSE(TableExists(db, "v_monedas"));
  }
}

TEST_F(CliSqliteTest, CheckTakesPiecesPerCallFromTheConfigurationAndLooksAtTheFolder) {
  folder_.CopyFixture("check/comentario_partido.sql", "NCM_01.sql");
  const std::string ncm = (folder_.path() / "NCM_01.sql").string();
  // A note alone ends with 0.
  CliResult note = RunCli({"--check", "--scripts", folder_.path().string()});
  EXPECT_EQ(note.exit_code, 0) << note.out;
  EXPECT_EQ(note.OutLines().back().substr(0, ncm.size() + 9), ncm + ":3: nota:");
  // One piece per call: the first call ends inside the comment, which the
  // run refuses, asked by SQLite's rules (the entity's).
  Config("PiecesPerCall = 1\n");
  const std::string config = (folder_.path() / "quorvexconfig.ini").string();
  CliResult error = RunCli({"--check", "--scripts", folder_.path().string(), "--config", config});
  EXPECT_EQ(error.exit_code, 5) << error.out;
  EXPECT_NE(error.out.find(ncm + ":1: error: El lote termina dentro de un comentario /* abierto "
                                 "en el renglón 1"),
            std::string::npos)
      << error.out;
  // What the run refuses of an entity's section is an error, told once.
  Config("PiecesPerCall = 1\nCommandTimeout = -3\n");
  CliResult refused = RunCli({"--check", "--scripts", folder_.path().string(), "--config", config});
  EXPECT_EQ(refused.exit_code, 5) << refused.out;
  EXPECT_NE(refused.out.find("quorvexconfig.ini: error: entidad NCM: "), std::string::npos)
      << refused.out;
  // An entity tagged ACCESS needs no connection: the run ends on reaching it.
  folder_.Write("quorvexconfig.ini", "[NCM]\nTag=ACCESS\n");
  CliResult access = RunCli({"--check", "--scripts", folder_.path().string(), "--config", config});
  EXPECT_NE(access.out.find("quorvexconfig.ini: nota: entidad NCM: la etiqueta ACCESS"),
            std::string::npos)
      << access.out;
  EXPECT_EQ(access.out.find(": error: entidad"), std::string::npos) << access.out;
  // Files the run will not take, or takes in an order their numbers hide.
  folder_.Write("CATALOGO_01.sql", "SELECT 1;\r\nGO\r\n");
  folder_.Write("CATALOGOS_10.sql", "SELECT 1;\r\nGO\r\n");
  folder_.Write("CATALOGOS_2.sql", "SELECT 1;\r\nGO\r\n");
  const std::vector<std::string> lines =
      RunCli({"--check", "--scripts", folder_.path().string()}).OutLines();
  const auto has = [&](const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  EXPECT_TRUE(has((folder_.path() / "CATALOGO_01.sql").string() + ": error: el nombre no empieza"));
  EXPECT_TRUE(has((folder_.path() / "CATALOGOS_10.sql").string() +
                  ": error: corre antes que CATALOGOS_2.sql"));
}

TEST_F(CliSqliteTest, ListPrintsTheCatalogueWithoutTouchingADatabase) {
  folder_.Write("ncm_b.sql", "x");
  folder_.Write("CATALOGOS_10.sql", "x");
  folder_.Write("CATALOGOS_2.sql", "x");
  folder_.Write("CATALOGOS_x.txt", "x");
  CliResult r = RunCli({"--list", "--scripts", folder_.path().string() + "/", "--config",
                        "/nonexistent/quorvexconfig.ini"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.OutLines(), (std::vector<std::string>{"1\tCATALOGOS\tCATALOGOS_10.sql",
                                                    "2\tCATALOGOS\tCATALOGOS_2.sql",
                                                    "3\tNCM\tncm_b.sql"}));
}

TEST_F(CliSqliteTest, AFolderNamedBeyondTheAnsiCodePageArrivesWholeAndIsShownInUtf8) {
  const std::filesystem::path dir = folder_.path() / u8"año-Ωδ";
  std::filesystem::create_directory(dir);
  std::ofstream(dir / "NCM_01.sql", std::ios::binary) << "SELECT 1;\r\n";
  const auto utf8 = [](const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return std::string(text.begin(), text.end());
  };
  CliResult r = RunCli({"--check", "--scripts", utf8(dir)});
  EXPECT_EQ(r.exit_code, 5) << r.err;
  EXPECT_EQ(r.OutLines().back(), utf8(dir / "NCM_01.sql") +
                                     ":1: error: no hay ningún GO que separe: no se ejecuta nada");
}

TEST_F(CliSqliteTest, AScriptsFolderThatIsNoFolderIsBadUsage) {
  folder_.Write("NCM_1.sql", "CREATE TABLE t (x int);\r\nGO\r\n");
  Config();
  const std::string config = (folder_.path() / "quorvexconfig.ini").string();
  for (const std::string& scripts :
       {(folder_.path() / "missing").string(), (folder_.path() / "NCM_1.sql").string()}) {
    CliResult r = RunCli({"--scripts", scripts, "--config", config});
    EXPECT_EQ(r.exit_code, 64) << scripts;
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliOptionsTest, VersionHelpAndBadUsage) {
  CliResult version = RunCli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out, "CorvalenSQL v." CORVALEN_VERSION "\n");
  CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Uso: corvalensql-cli [OPCIONES]"), std::string::npos);
  EXPECT_NE(help.out.find("--scripts CARPETA"), std::string::npos);
  // Usage errors in Spanish, CLI11's own included.
  const std::pair<std::vector<std::string>, std::string> bad[] = {
      {{"--bogus"}, "Argumento no esperado: --bogus\n"},
      {{"--scripts"}, "--scripts: falta su valor o sobra alguno\n"},
      {{"extra"}, "Argumento no esperado: extra\n"},
      {{"--list", "--check"}, "--list no se puede usar junto con --check\n"},
  };
  for (const auto& [args, first_line] : bad) {
    CliResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, 64) << first_line;
    EXPECT_EQ(r.err, first_line + "Use --help para ver las opciones.\n");
  }
}

}  // namespace
}  // namespace corvalen::testing
