// Each database's text read by its own rules, end to end: PostgreSQL's and
// SQLite's own forms run, what they would read otherwise than SQL Server is
// refused before it is sent, and so are PostgreSQL's transaction statements.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/e2e/cli_postgres_fixture.h"
#include "tests/e2e/cli_runner.h"
#include "tests/e2e/cli_sqlite_fixture.h"

namespace corvalen::testing {
namespace {

class CliPostgresDialectTest : public CliPostgresTest {
 protected:
  // CATALOGOS opens its connection with standard_conforming_strings off
  // (and through the command watchdog); NCM sends every piece alone.
  void SetUp() override {
    CliPostgresTest::SetUp();
    folder_.Write("quorvexconfig.ini",
                  "[CATALOGOS]\nConnection=${CORVALEN_TEST_PG_CONN}"
                  "ConnSettings={SET standard_conforming_strings=off};\nDialect=postgresql\n"
                  "CommandTimeout=30\n"
                  "[NCM]\nConnection=${CORVALEN_TEST_PG_CONN}\nDialect=postgresql\n"
                  "PiecesPerCall=1\n");
  }
  CliResult RunWithReport() {
    return RunCli({"--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string(), "--report",
                   (folder_.path() / "informe.json").string()});
  }
  int GroupsSent(size_t script) {
    const nlohmann::json report = nlohmann::json::parse(ReadAll(folder_.path() / "informe.json"));
    return report["scripts"][script]["groups_sent"].get<int>();
  }
};

TEST_F(CliPostgresDialectTest, PostgresqlFormsRunAsPostgresqlReadsThem) {
  const std::string t = schema_ + ".t";
  // Read when the connection opens: backslash escapes from the start.
  Script("CATALOGOS_01.sql", "CREATE SCHEMA " + schema_ + ";\nCREATE TABLE " + t +
                                 " (id serial, v text);\nGO\nINSERT INTO " + t +
                                 " (v) VALUES ('a\\'b');\nGO\n");
  std::string ncm;
  for (const char* value : {"$$O'Brien$$", "$x$it's /*$x$", "$$/*$$", "E'\\''", "E'it\\'s'"}) {
    ncm += "INSERT INTO " + t + " (v) VALUES (" + value + ");\nGO\n";
  }
  ncm += "INSERT INTO " + t + " (v) SELECT unnest(ARRAY['[', ']']);\nGO\n";
  // Read again after a group that sets it.
  ncm += "SET standard_conforming_strings = off;\nGO\nINSERT INTO " + t +
         " (v) VALUES ('it\\'s');\nGO\nRESET standard_conforming_strings;\nGO\n";
  // A routine's BEGIN ATOMIC ... END body holds no transaction statement.
  ncm += "CREATE FUNCTION " + schema_ +
         ".f(a int) RETURNS int LANGUAGE sql\nBEGIN ATOMIC\n  SELECT CASE WHEN a > 0 THEN 1 ELSE 0 "
         "END;\nEND;\nGO\nINSERT INTO " + t + " (v) SELECT " + schema_ + ".f(5)::text;\nGO\n";
  Script("NCM_01.sql", ncm);
  const CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Psql("SELECT string_agg(v, '~' ORDER BY id) FROM " + t),
            "a'b~O'Brien~it's /*~/*~'~it's~[~]~it's~1");
}

TEST_F(CliPostgresDialectTest, TransactionStatementsAreRefusedBeforeTheyAreSent) {
  const std::string t = schema_ + ".t";
  Script("CATALOGOS_01.sql", "CREATE SCHEMA IF NOT EXISTS " + schema_ + ";\nCREATE TABLE IF NOT "
                                 "EXISTS " + t + " (v int);\nGO\n");
  for (const std::string form : {"COMMIT", "END", "COMMIT AND CHAIN", "START TRANSACTION"}) {
    Script("NCM_01.sql", "INSERT INTO " + t + " VALUES (1);\nGO\nINSERT INTO " + t +
                             " VALUES (2);\n" + form + ";\nINSERT INTO " + t + " VALUES (3);\nGO\n");
    const CliResult r = RunWithReport();
    EXPECT_EQ(r.exit_code, 2) << form << r.err;
    EXPECT_NE(r.err.find(form.substr(0, form.find(" AND")) +
                         " en el renglón 4 del archivo: un script no puede terminar ni abrir la "
                         "transacción de la actualización"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(GroupsSent(1), 1) << form;
    EXPECT_EQ(Psql("SELECT count(*) FROM " + t), "0") << form;
  }
  // What the text does not show, PostgreSQL refuses itself.
  Script("NCM_01.sql", "INSERT INTO " + t + " VALUES (1);\nGO\nCREATE PROCEDURE " + schema_ +
                           ".p() LANGUAGE plpgsql AS $$BEGIN INSERT INTO " + t +
                           " VALUES (9); COMMIT; END$$;\nGO\nCALL " + schema_ + ".p();\nGO\n");
  const CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_NE(r.err.find("invalid transaction termination"), std::string::npos) << r.err;
  EXPECT_EQ(Psql("SELECT count(*) FROM " + t), "0");
  EXPECT_EQ(Psql("SELECT count(*) FROM pg_proc WHERE proname = 'p' AND pronamespace = '" +
                 schema_ + "'::regnamespace"),
            "0");
}

TEST_F(CliSqliteTest, SqliteFormsRunAndWhatSqliteReadsOtherwiseIsRefused) {
  Config("PiecesPerCall=1\n");
  folder_.Write("CATALOGOS_01.sql",
                "CREATE TABLE IF NOT EXISTS `it's` (`a/*b` text PRIMARY KEY);\r\n"
                "INSERT OR IGNORE INTO `it's` VALUES ('x');\r\nGO\r\n");
  const std::pair<std::string, std::string> refused[] = {
      {"INSERT INTO `it's` VALUES ('y');\r\nGO\r\n/* old /* note */ DELETE FROM `it's`; -- */\r\n"
       "GO\r\n",
       "El lote tiene un /* dentro de un comentario en el renglón 3 del archivo: comentario "
       "dentro de un comentario: SQLite lo cierra en el primer */ y ejecutaría lo que sigue."},
      // The ' inside backquotes hides nothing at the call's end.
      {"INSERT INTO `it's` SELECT 'y' FROM `it's` /* '\r\nGO\r\nDELETE FROM `it's`; -- */\r\n"
       "GO\r\n",
       "El lote termina dentro de un comentario /* abierto en el renglón 1 del archivo: SQLite "
       "ejecutaría lo que viene antes y no se envía."},
  };
  for (const auto& [script, message] : refused) {
    folder_.Write("NCM_01.sql", script);
    const CliResult r = Run();
    EXPECT_EQ(r.exit_code, 2) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(SqliteQuery(erp_, "SELECT group_concat(`a/*b`) FROM `it's`"), "x");
  }
  EXPECT_EQ(Outcomes(), (std::vector<std::string>{"ok/1", "failed/0"}));
}

}  // namespace
}  // namespace corvalen::testing
