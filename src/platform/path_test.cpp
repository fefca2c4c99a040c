#include "platform/path.h"

#include <gtest/gtest.h>

#include <string>

namespace corvalen {
namespace {

TEST(ProgramFolderTest, IsTheExistingFolderWithoutATrailingSeparator) {
  const std::u16string folder = ProgramFolder();
  ASSERT_GT(folder.size(), 1u);
  EXPECT_NE(folder.back(), kPathSeparator);
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_FALSE(IsFolder(folder + kPathSeparator + u"no-such-folder"));
  EXPECT_FALSE(IsFolder(u""));
}

TEST(EnvironmentTest, AnUnsetVariableReadsEmpty) {
  EXPECT_EQ(EnvironmentValue(u"CORVALEN_NEVER_SET_VARIABLE"), u"");
  EXPECT_FALSE(EnvironmentHas(u"CORVALEN_NEVER_SET_VARIABLE"));
}

}  // namespace
}  // namespace corvalen
