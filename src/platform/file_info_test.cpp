#include "platform/file_info.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/path.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

TEST(FileInfoTest, TellsFilesFoldersAndMissingNamesApart) {
  corvalen::testing::TempFolder folder("corvalen-info");
  folder.Write("a.txt", "x");
  EXPECT_EQ(KindOfFile(folder.Utf16("a.txt")), FileKind::kFile);
  EXPECT_EQ(KindOfFile(folder.Utf16()), FileKind::kFolder);
  EXPECT_EQ(KindOfFile(folder.Utf16("none")), FileKind::kMissing);
  EXPECT_EQ(KindOfFile(folder.Utf16("none/deeper")), FileKind::kMissing);
  EXPECT_EQ(KindOfFile(u""), FileKind::kUnknown);
}

TEST(FileInfoTest, JoinsAndSplitsPathsWithTheSystemsSeparator) {
  const std::u16string folder = ProgramFolder();
  EXPECT_FALSE(IsRelativePath(folder));
  EXPECT_TRUE(IsRelativePath(u"data/ncm.db"));
  EXPECT_TRUE(IsRelativePath(u""));
  EXPECT_EQ(JoinPath(folder, u"data/ncm.db"), folder + kPathSeparator + u"data/ncm.db");
  EXPECT_EQ(JoinPath(u"", u"ncm.db"), u"ncm.db");
  EXPECT_EQ(ParentFolder(folder + kPathSeparator + u"quorvexconfig.ini"), folder);
  EXPECT_EQ(ParentFolder(u"quorvexconfig.ini"), u"");
}

}  // namespace
}  // namespace corvalen
