// Paths only Windows has: drives, network shares, device names.
#include <gtest/gtest.h>

#include "platform/file_info.h"

namespace corvalen {
namespace {

TEST(FileInfoWindowsTest, APathWithADriveOrARootIsNotRelativeAndADeviceIsNoFile) {
  EXPECT_FALSE(IsRelativePath(u"C:\\Marvento\\ncm.db"));
  EXPECT_FALSE(IsRelativePath(u"\\\\server\\share\\ncm.db"));
  EXPECT_FALSE(IsRelativePath(u"\\Marvento\\ncm.db"));
  EXPECT_FALSE(IsRelativePath(u"C:ncm.db"));
  EXPECT_TRUE(IsRelativePath(u"data\\ncm.db"));
  EXPECT_EQ(JoinPath(u"C:\\Marvento", u"data\\ncm.db"), u"C:\\Marvento\\data\\ncm.db");
  EXPECT_EQ(ParentFolder(u"C:\\Marvento\\quorvexconfig.ini"), u"C:\\Marvento");
  EXPECT_EQ(KindOfFile(u"NUL"), FileKind::kOther);
}

}  // namespace
}  // namespace corvalen
