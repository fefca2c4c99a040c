// The console program end to end on real SQLite databases: the folder, its
// configuration and its databases.
#ifndef CORVALEN_TESTS_E2E_CLI_SQLITE_FIXTURE_H_
#define CORVALEN_TESTS_E2E_CLI_SQLITE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {

inline const std::string kCompleted =
    "Actualizacion completada, esta ventana se cerrará automaticamente.";
inline const std::string kWithErrors = "Se han producido errores , pulse [Esc] para salir.";

// CATALOGOS, NCM and PERSONAL on SQLite files in the scripts folder.
class CliSqliteTest : public ::testing::Test {
 protected:
  CliSqliteTest() {
    erp_ = folder_.NewSqliteDatabase("erp.db");
    personal_ = folder_.NewSqliteDatabase("personal.db");
  }
  // CATALOGOS and NCM share erp.db; PERSONAL has a database of its own.
  void Config(const std::string& extra_ncm = "", const std::string& catalogos_db = "erp.db",
              const std::string& ncm_db = "erp.db") {
    folder_.Write("quorvexconfig.ini",
                  "[CATALOGOS]\nProvider=sqlite\nConnection=" + catalogos_db +
                      "\n\n[NCM]\nProvider=sqlite\nConnection=" + ncm_db + "\n" + extra_ncm +
                      "\n[PERSONAL]\nProvider=sqlite\nConnection=personal.db\n");
  }
  // Every run also writes its JSON report, which Report() reads back.
  CliResult Run() {
    return RunCli({"--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string(), "--report",
                   (folder_.path() / "informe.json").string()});
  }
  nlohmann::json Report() const {
    std::ifstream in(folder_.path() / "informe.json");
    return nlohmann::json::parse(in);
  }
  // Each script's outcome and groups sent, as "outcome/groups".
  std::vector<std::string> Outcomes() const {
    std::vector<std::string> out;
    const nlohmann::json report = Report();
    for (const auto& s : report["scripts"]) {
      out.push_back(s["outcome"].get<std::string>() + "/" + std::to_string(s["groups_sent"].get<int>()));
    }
    return out;
  }
  bool TableExists(const std::filesystem::path& db, const std::string& table) {
    return SqliteQuery(db, "SELECT count(*) FROM sqlite_master WHERE name = '" + table + "'") == "1";
  }

  ScriptsFolder folder_;
  std::filesystem::path erp_, personal_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_E2E_CLI_SQLITE_FIXTURE_H_
