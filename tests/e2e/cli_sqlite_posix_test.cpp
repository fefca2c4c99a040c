// The console program end to end where POSIX differs: names Windows cannot
// hold (control characters, bytes that are not UTF-8), /proc.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace corvalen::testing
