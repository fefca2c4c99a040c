// The console program end to end where POSIX differs: names Windows cannot
// hold (control characters, bytes that are not UTF-8), /proc, file modes and
// the umask, a file size limit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/cli_runner.h"
#include "tests/e2e/cli_sqlite_fixture.h"

namespace corvalen::testing {
namespace {

TEST_F(CliSqliteTest, NamesAreListedOnOneLineEachAndOpenedByteForByte) {
  folder_.Write("NCM_a\nb.sql", "x");
  folder_.Write("NCM_\xff.sql", "CREATE TABLE ff (x int);\r\nGO\r\n");
  folder_.Write("NCM_\xfe.sql", "CREATE TABLE fe (x int);\r\nGO\r\n");
  CliResult list = RunCli({"--list", "--scripts", folder_.path().string()});
  EXPECT_EQ(list.OutLines(),
            (std::vector<std::string>{"1\tNCM\tNCM_a\\nb.sql", "2\tNCM\tNCM_\uFFFD.sql",
                                      "3\tNCM\tNCM_\uFFFD.sql"}));
  std::filesystem::remove(folder_.path() / "NCM_a\nb.sql");
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(TableExists(erp_, "ff"));
  EXPECT_TRUE(TableExists(erp_, "fe"));
}

TEST_F(CliSqliteTest, AReportInAFolderThatTakesNoFilesIsBadUsage) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  Config();
  CliResult r = RunCli({"--scripts", folder_.path().string(), "--config",
                        (folder_.path() / "quorvexconfig.ini").string(), "--report",
                        "/proc/r.json"});
  EXPECT_EQ(r.exit_code, 64);
  EXPECT_FALSE(TableExists(erp_, "monedas"));
}

TEST_F(CliSqliteTest, NothingRawReachesTheTerminalAndTheReportKeepsItEscaped) {
  // ESC, BEL, a C1 CSI and a right-to-left override, in the script's name
  // and in the name of the table the database's message echoes.
  const std::string name = "NCM_\x1b[31m\xc2\x9b\xe2\x80\xae.sql";
  folder_.CopyFixture("e2e/ncm_nombre_raro.sql", name);
  Config();
  CliResult r = Run();
  EXPECT_EQ(r.exit_code, 2) << r.err;
  for (const std::string raw : {"\x1b", "\x07", "\xc2\x9b", "\xe2\x80\xae"}) {
    EXPECT_EQ(r.out.find(raw), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find(raw), std::string::npos) << r.err;
  }
  EXPECT_NE(r.err.find("no such table: x\\x1b]0;PWNED\\x07\\x1b[2J"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("NCM_\\x1b[31m\\x9b\\u202e.sql"), std::string::npos) << r.err;
  const std::string text = ReadAll(folder_.path() / "informe.json");
  EXPECT_EQ(text.find("\xe2\x80\xae"), std::string::npos);
  EXPECT_NE(text.find("NCM_\\u001b[31m\\u009b\\u202e.sql"), std::string::npos) << text;
  EXPECT_EQ(Report()["scripts"][0]["file"], name);
}

TEST_F(CliSqliteTest, TheReportKeepsItsModeFollowsTheUmaskAndLeavesNoTemporaryFile) {
  Config();
  const std::filesystem::path report = folder_.path() / "informe.json";
  const mode_t old_mask = umask(077);
  EXPECT_EQ(Run().exit_code, 0);
  struct stat info;
  ASSERT_EQ(stat(report.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  umask(022);
  chmod(report.c_str(), 0640);
  EXPECT_EQ(Run().exit_code, 0);
  umask(old_mask);
  ASSERT_EQ(stat(report.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

TEST_F(CliSqliteTest, AReportThatCannotBeWrittenAtTheEndHasAnExitCodeOfItsOwn) {
  // Enough scripts for a report past the size limit; their entity fails to
  // connect, so no database file grows.
  for (int i = 10; i < 40; ++i) folder_.Write("CATALOGOS_" + std::to_string(i) + ".sql", "x");
  Config("", "missing.db");
  rlimit old_limit;
  getrlimit(RLIMIT_FSIZE, &old_limit);
  rlimit limit = old_limit;
  limit.rlim_cur = 3000;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &limit);
  CliResult r = Run();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(r.exit_code, 6) << r.err;
  EXPECT_NE(r.err.find("No se pudo escribir el informe: "), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(folder_.path() / "informe.json"));
}

}  // namespace
}  // namespace corvalen::testing
