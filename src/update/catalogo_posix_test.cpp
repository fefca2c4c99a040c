// The catalogue where POSIX differs: folders a user may not read, links
// that cannot be followed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/utf.h"
#include "update/catalogo_fixture.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

using CatalogoPosixTest = CatalogoTest;

TEST_F(CatalogoPosixTest, UnreadableFolderIsReportedAtStatement10AndEndsTheProgram) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  Touch("CATALOGOS_1.sql");
  fs::permissions(dir_, fs::perms::none);
  ExpectReportedFailure(
      u"Path/File access error\r\nin CorvalenSQL.Mod_Main.ObtenerListadoSql at line 10");
  if (HasFatalFailure()) return;
  EXPECT_EQ(window_.boxes[0].title, u"CorvalenSQL v." CORVALEN_VERSION);
  EXPECT_EQ(window_.boxes[0].icon, MessageIcon::kExclamation);
}

TEST_F(CatalogoPosixTest, AFolderThatCannotBeOpenedIsReportedEvenForRoot) {
  // A symbolic link that points at itself cannot be opened by anyone.
  fs::create_symlink(dir_ / "loop", dir_ / "loop");
  module_.CarpetaScripts = Utf8ToUtf16((dir_ / "loop").string());
  EXPECT_THROW(module_.ObtenerListadoSql(), ProgramEnded);
  ASSERT_EQ(window_.boxes.size(), 1u);
  EXPECT_EQ(window_.boxes[0].text.rfind(u"Bad file name or number"), 0u);
  EXPECT_NE(window_.boxes[0].text.find(
                u"\r\nin CorvalenSQL.Mod_Main.ObtenerListadoSql at line 10"),
            std::u16string::npos);
  EXPECT_EQ(module_.UpperBound(), 0);
}

}  // namespace
}  // namespace corvalen
