// SQLite files where POSIX differs: names that are not UTF-8, FIFOs, files a
// user may only read.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "db/sqlite_connection.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using corvalen::testing::ErrorOf;

TEST(SqliteConnectionPosixTest, NamesReachTheSystemByteForByteAndOnlyAWritableRegularFileOpens) {
  corvalen::testing::TempFolder folder("corvalen-sqlite");
  const fs::path file = folder.path() / "ncm.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE t(a)", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  // A name that is not UTF-8 reaches the file system byte for byte and is
  // shown with U+FFFD.
  const fs::path odd = folder.path() / "ncm\xFF.db";
  fs::copy_file(file, odd);
  EXPECT_NO_THROW(OpenSqliteConnection(NativeToUtf16(odd.string()), {}));
  const fs::path missing = folder.path() / "missing\xFF.db";
  NumberedError error = ErrorOf([&] { OpenSqliteConnection(NativeToUtf16(missing.string()), {}); });
  EXPECT_EQ(error.number(), kErrDatabase);
  EXPECT_EQ(error.description(),
            u"No existe la base de datos SQLite \"" +
                Utf8ToUtf16((folder.path() / "missing\uFFFD.db").string()) + u"\".");
  EXPECT_FALSE(fs::exists(missing));

  ASSERT_EQ(mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
  const std::u16string fifo = Utf8ToUtf16((folder.path() / "fifo").string());
  const std::u16string reason = u"\"" + fifo + u"\" no es un archivo normal";
  EXPECT_EQ(SqliteFileRefusal(fifo), reason);
  EXPECT_EQ(ErrorOf([&] { OpenSqliteConnection(fifo, {}); }).description(),
            u"No se puede abrir la base de datos SQLite: " + reason + u".");

  if (geteuid() != 0) {
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(ErrorOf([&] { OpenSqliteConnection(Utf8ToUtf16(file.string()), {}); }).description(),
              u"La base de datos SQLite \"" + Utf8ToUtf16(file.string()) +
                  u"\" no admite escritura.");
  }
}

}  // namespace
}  // namespace corvalen
