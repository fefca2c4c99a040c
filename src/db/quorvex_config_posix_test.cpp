// The configuration reader where POSIX differs: full case folding of
// section names, names that are not UTF-8, files a user may not read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "db/quorvex_config.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

using corvalen::testing::ErrorOf;

TEST(QuorvexConfigTest, SectionNamesMatchWithFullCaseFolding) {
  QuorvexConfig config = QuorvexConfig::Parse("[Straße]\nTag=a\n[ÉTÉ]\nTag=b\n", u"x.ini");
  EXPECT_EQ(*config.Find(u"STRASSE")->Get(kKeyTag), u"a");
  EXPECT_EQ(*config.Find(u"été")->Get(kKeyTag), u"b");
  EXPECT_EQ(config.Find(u"STRAS"), nullptr);
}

TEST(QuorvexConfigTest, ANameThatIsNotUtf8ReachesTheFileAndIsShownReadably) {
  corvalen::testing::TempFolder folder("corvalen-config");
  const std::filesystem::path dir = folder.path() / "conf\xFF";
  std::filesystem::create_directory(dir);
  folder.Write("conf\xFF/quorvexconfig.ini", "[NCM]\nTag=x\n");
  EXPECT_NE(QuorvexConfig::Load(NativeToUtf16((dir / "quorvexconfig.ini").string())).Find(u"ncm"),
            nullptr);
  const std::u16string missing = NativeToUtf16((dir / "otro.ini").string());
  EXPECT_EQ(ErrorOf([&] { QuorvexConfig::Load(missing); }).description(),
            u"No se encontró el archivo de configuración \"" + DisplayName(missing) + u"\".");
  EXPECT_NE(DisplayName(missing).find(u'\uFFFD'), std::u16string::npos);
}

TEST(QuorvexConfigTest, AFileThatCannotBeReadIsAnAccessError) {
  corvalen::testing::TempFolder folder("corvalen-config");
  // A FIFO is refused without waiting for a writer.
  ASSERT_EQ(mkfifo((folder.path() / "fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { QuorvexConfig::Load(folder.Utf16("fifo.ini")); }).number(),
            kErrPathFileAccess);

  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::filesystem::path locked = folder.Write("locked.ini", "[NCM]\nConnection=x\n");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  EXPECT_EQ(ErrorOf([&] { QuorvexConfig::Load(NativeToUtf16(locked.string())); }).number(),
            kErrPathFileAccess);
}

}  // namespace
}  // namespace corvalen
