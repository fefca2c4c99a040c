// Following links name by name, and names matched by their folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_info.h"
#include "platform/link_target.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

TEST(LinkTargetPosixTest, LinksAreFollowedAsTheSystemFollowsThem) {
  testing::TempFolder folder("corvalen-link");
  fs::create_directories(folder.path() / "x" / "y");
  fs::create_directory_symlink("x/y", folder.path() / "l");
  // ".." after a link climbs from where the link leads.
  EXPECT_EQ(FollowLinks(folder.Utf16("l/../f.json")).path, folder.Utf16("x/f.json"));
  EXPECT_EQ(FollowLinks(folder.Utf16("l/.//f/")).path, folder.Utf16("x/y/f/"));
  fs::create_symlink("b", folder.path() / "a");
  fs::create_symlink("a", folder.path() / "b");
  EXPECT_EQ(FollowLinks(folder.Utf16("a")).trouble, LinkTrouble::kLoop);
  // Streams, through a link, as written, or by a name on the way.
  fs::create_directory_symlink("/dev", folder.path() / "dev");
  for (const std::string& name :
       std::vector<std::string>{folder.path().string() + "/dev/stdin", "/dev/x/../stderr",
                                "/proc/self/fd/0", "/proc/self/task/1/fd/2", "/dev/fd"}) {
    EXPECT_EQ(FollowLinks(Utf8ToUtf16(name)).trouble, LinkTrouble::kStream) << name;
  }
  EXPECT_EQ(FollowLinks(u"/proc/self/status").trouble, LinkTrouble::kNone);
}

TEST(LinkTargetPosixTest, NamesAreMatchedByTheirFolderWhetherOrNotTheyExist) {
  testing::TempFolder folder("corvalen-link");
  fs::create_directory(folder.path() / "x");
  fs::create_directory_symlink("x", folder.path() / "l");
  EXPECT_TRUE(SameNameInSameFolder(folder.Utf16("l/a.db-wal"), folder.Utf16("x/../x/a.db-wal")));
  EXPECT_FALSE(SameNameInSameFolder(folder.Utf16("l/a.db-wal"), folder.Utf16("x/a.db-shm")));
  EXPECT_FALSE(SameNameInSameFolder(folder.Utf16("l/a.db-wal"), folder.Utf16("a.db-wal")));
  EXPECT_FALSE(SameNameInSameFolder(folder.Utf16("no/a"), folder.Utf16("no/a")));
  EXPECT_FALSE(SameNameInSameFolder(folder.Utf16("x/.."), folder.Utf16("l/..")));
}

}  // namespace
}  // namespace corvalen
