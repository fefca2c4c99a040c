// What the rehearsal's end-to-end tests share: a database's content as text
// (to compare before and after), random script folders, and a rehearsal
// compared with a real run.
#ifndef CORVALEN_TESTS_E2E_CLI_REHEARSE_FIXTURE_H_
#define CORVALEN_TESTS_E2E_CLI_REHEARSE_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/cli_runner.h"

namespace corvalen::testing {

// Every schema object of an SQLite file and every table's rows.
inline std::string SqliteDump(const std::filesystem::path& db) {
  std::string dump = SqliteQuery(db, "SELECT type, name, sql FROM sqlite_master ORDER BY name");
  std::istringstream tables(
      SqliteQuery(db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"));
  for (std::string table; std::getline(tables, table);) {
    dump += "\n" + table + ":\n" + SqliteQuery(db, "SELECT * FROM \"" + table + "\" ORDER BY rowid");
  }
  return dump;
}

// Every table of a PostgreSQL schema, its columns and its rows.
inline std::string PostgresDump(const std::string& schema) {
  std::string dump = PostgresQuery(
      "SELECT table_name, column_name, data_type FROM information_schema.columns WHERE "
      "table_schema = '" + schema + "' ORDER BY 1, ordinal_position");
  std::istringstream tables(PostgresQuery(
      "SELECT table_name FROM information_schema.tables WHERE table_schema = '" + schema +
      "' ORDER BY 1"));
  for (std::string table; std::getline(tables, table);) {
    dump += "\n" + table + ":\n" +
            PostgresQuery("SELECT t::text FROM " + schema + "." + table + " AS t ORDER BY 1");
  }
  return dump;
}

// Two to four scripts for CATALOGOS and for NCM, each of one to three
// groups of one to three statements on three tables of the entity's own
// (names start with `cat` and `ncm`): tables made, filled, changed and
// dropped, so that some statements fail (a missing table, a repeated key).
inline std::vector<std::pair<std::string, std::string>> RandomScripts(std::mt19937& random,
                                                                      const std::string& cat,
                                                                      const std::string& ncm) {
  std::vector<std::pair<std::string, std::string>> scripts;
  for (const auto& [category, prefix] : {std::pair{"CATALOGOS", cat}, {"NCM", ncm}}) {
    const int count = 2 + static_cast<int>(random() % 3);
    for (int s = 1; s <= count; ++s) {
      std::string text;
      for (int g = static_cast<int>(random() % 3); g >= 0; --g) {
        for (int k = static_cast<int>(random() % 3); k >= 0; --k) {
          const std::string table = prefix + "t" + std::to_string(random() % 3);
          const std::string id = std::to_string(random() % 4);
          switch (random() % 6) {
            case 0:
            case 1: text += "CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, v INTEGER);"; break;
            case 2:
            case 3: text += "INSERT INTO " + table + " VALUES (" + id + ", " + id + ");"; break;
            case 4: text += "UPDATE " + table + " SET v = v + 1 WHERE id = " + id + ";"; break;
            default: text += "DROP TABLE " + table + ";"; break;
          }
          text += "\r\n";
        }
        text += "GO\r\n";
      }
      scripts.emplace_back(std::string(category) + "_0" + std::to_string(s) + ".sql", text);
    }
  }
  return scripts;
}

struct DifferentialRuns {
  CliResult rehearsal;
  CliResult run;
  nlohmann::json rehearsal_report;
  nlohmann::json run_report;
};

// Rehearses the folder `rehearsed` and runs `run` (the same scripts on a
// copy of the databases), each with its report.
inline DifferentialRuns RehearseAndRun(const ScriptsFolder& rehearsed, const ScriptsFolder& run) {
  auto args = [](const ScriptsFolder& f) {
    return std::vector<std::string>{"--scripts", f.path().string(), "--config",
                                    (f.path() / "quorvexconfig.ini").string(), "--report",
                                    (f.path() / "informe.json").string()};
  };
  DifferentialRuns runs;
  std::vector<std::string> rehearse = args(rehearsed);
  rehearse.insert(rehearse.begin(), "--rehearse");
  runs.rehearsal = RunCli(rehearse);
  runs.run = RunCli(args(run));
  runs.rehearsal_report =
      nlohmann::json::parse(std::ifstream(rehearsed.path() / "informe.json"));
  runs.run_report = nlohmann::json::parse(std::ifstream(run.path() / "informe.json"));
  return runs;
}

// The run's outcomes, as a rehearsal names them, equal the rehearsal's up
// to the run's first failure, which fails alike with the same message (in
// the run's messages, `renamed.first` read as `renamed.second`: the name of
// its copy of the database).
inline void ExpectSameOutcomesUpToTheFirstFailure(
    const DifferentialRuns& runs, const std::pair<std::string, std::string>& renamed = {}) {
  auto message = [&](const nlohmann::json& script) -> nlohmann::json {
    if (!script["message"].is_string() || renamed.first.empty()) return script["message"];
    std::string text = script["message"];
    for (size_t at = text.find(renamed.first); at != std::string::npos;
         at = text.find(renamed.first, at + renamed.second.size())) {
      text.replace(at, renamed.first.size(), renamed.second);
    }
    return text;
  };
  EXPECT_EQ(runs.run_report["mode"], "run");
  EXPECT_EQ(runs.rehearsal_report["mode"], "rehearsal");
  const auto& rehearsed = runs.rehearsal_report["scripts"];
  const auto& run = runs.run_report["scripts"];
  ASSERT_EQ(rehearsed.size(), run.size());
  bool failed = false;
  for (size_t k = 0; k < run.size() && !failed; ++k) {
    SCOPED_TRACE(run[k]["file"].get<std::string>());
    failed = run[k]["outcome"] == "failed";
    EXPECT_EQ(rehearsed[k]["outcome"], failed ? "would-fail" : "would-apply");
    EXPECT_EQ(rehearsed[k]["message"], message(run[k]));
    EXPECT_EQ(rehearsed[k]["groups_sent"], run[k]["groups_sent"]);
  }
  bool any_failed = false;
  for (const auto& script : rehearsed) any_failed = any_failed || script["outcome"] == "would-fail";
  EXPECT_EQ(runs.rehearsal.exit_code, any_failed ? 2 : 0) << runs.rehearsal.err;
}

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_E2E_CLI_REHEARSE_FIXTURE_H_
