// File kinds only POSIX has.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/file_info.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

TEST(FileInfoPosixTest, AFifoIsLookedAtNotOpened) {
  corvalen::testing::TempFolder folder("corvalen-info");
  ASSERT_EQ(mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
  EXPECT_EQ(KindOfFile(folder.Utf16("fifo")), FileKind::kOther);
  folder.Write("a.txt", "x");
  EXPECT_EQ(KindOfFile(folder.Utf16("a.txt/deeper")), FileKind::kMissing);
}

}  // namespace
}  // namespace corvalen
