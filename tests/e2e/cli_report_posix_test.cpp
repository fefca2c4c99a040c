// Where --report writes on POSIX: through symbolic links to their target,
// never over the link; never onto a stream, a database's companion file or
// the program itself.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/e2e/cli_runner.h"
#include "tests/e2e/cli_sqlite_fixture.h"

namespace corvalen::testing {
namespace {

namespace fs = std::filesystem;

class CliReportTest : public CliSqliteTest {
 protected:
  CliReportTest() { Config(); }
  CliResult RunWithReport(const fs::path& report) {
    return RunCli({"--scripts", folder_.path().string(), "--config",
                   (folder_.path() / "quorvexconfig.ini").string(), "--report", report.string()});
  }
  // A run refused before anything ran (its script creates a table): bad
  // usage, said of --report.
  void ExpectRefused(const fs::path& report) {
    const CliResult r = RunWithReport(report);
    EXPECT_EQ(r.exit_code, 64) << report << "\n" << r.err;
    EXPECT_NE(r.err.find("--report: "), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("exit_code"), std::string::npos) << r.out;
    EXPECT_FALSE(TableExists(erp_, "monedas")) << report;
  }
};

TEST_F(CliReportTest, AReportThroughALinkGoesToItsTargetAndTheLinkStays) {
  fs::create_directory(folder_.path() / "destino");
  // A chain of two links, the second relative to its own folder, to a file
  // that does not exist yet.
  fs::create_symlink("destino/medio.json", folder_.path() / "informe.json");
  fs::create_symlink("nuevo.json", folder_.path() / "destino" / "medio.json");
  EXPECT_EQ(Run().exit_code, 0);
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "informe.json"));
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "destino" / "medio.json"));
  EXPECT_EQ(Report()["exit_code"], 0);

  // An existing report behind a link: replaced, with its mode kept.
  const fs::path target = folder_.path() / "destino" / "nuevo.json";
  folder_.Write("destino/nuevo.json", "viejo");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  EXPECT_EQ(Run().exit_code, 0);
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "informe.json"));
  EXPECT_EQ(Report()["exit_code"], 0);
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(CliReportTest, StreamsAndWhatIsNoFileAreRefusedAndNothingIsReplaced) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  const fs::path fifo = folder_.path() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Stand-ins for /dev/stdout: the program's own standard output (a regular
  // file here, which the runner reads back), a FIFO, a character device.
  fs::create_symlink("/proc/self/fd/1", folder_.path() / "salida");
  fs::create_symlink(fifo, folder_.path() / "a_fifo");
  fs::create_symlink("/dev/null", folder_.path() / "a_dispositivo");
  fs::create_symlink("/dev", folder_.path() / "dev");
  for (const std::string name : {"salida", "a_fifo", "a_dispositivo"}) {
    ExpectRefused(folder_.path() / name);
    EXPECT_TRUE(fs::is_symlink(folder_.path() / name)) << name;
  }
  ExpectRefused("/dev/fd/1");
  ExpectRefused(folder_.path() / "dev" / "fd" / "1");
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(CliReportTest, CompanionFilesOtherSectionsAndTheProgramAreRefused) {
  folder_.CopyFixture("e2e/catalogos_monedas.sql", "CATALOGOS_01.sql");
  // A section that is no category of the run still names a database.
  fs::create_directory(folder_.path() / "otra");
  folder_.NewSqliteDatabase("otra/otra.db");
  folder_.Write("quorvexconfig.ini", ReadAll(folder_.path() / "quorvexconfig.ini") +
                                         "\n[ARCHIVO]\nProvider=sqlite\nConnection=otra/otra.db\n");
  fs::create_directory_symlink(folder_.path() / "otra", folder_.path() / "por_enlace");
  fs::create_symlink(CORVALEN_CLI_PATH, folder_.path() / "programa");
  for (const std::string name :
       {"otra/otra.db", "otra/otra.db-journal", "por_enlace/otra.db-wal", "otra/../erp.db-shm",
        "erp.db-journal", "personal.db-wal", "programa"}) {
    ExpectRefused(folder_.path() / name);
  }
  EXPECT_FALSE(fs::exists(folder_.path() / "otra" / "otra.db-journal"));
  EXPECT_EQ(SqliteQuery(folder_.path() / "otra" / "otra.db", "SELECT count(*) FROM sqlite_master"),
            "0");
  EXPECT_TRUE(fs::is_symlink(folder_.path() / "programa"));
  // A name that only looks like one is a report like any other.
  EXPECT_EQ(RunWithReport(folder_.path() / "otra" / "otra.db-journal.json").exit_code, 0);
}

}  // namespace
}  // namespace corvalen::testing
