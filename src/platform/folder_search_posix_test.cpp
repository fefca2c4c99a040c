// The folder search where POSIX has its own behaviour: names that differ in
// case only, names that are not UTF-8 or hold characters Windows refuses,
// hidden dot files, links, sockets and permissions.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ansi_file_bytes.h"
#include "platform/folder_search.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "platform/folder_search_fixture.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

using TempFolder = SearchFolder;

TEST(FolderSearchPosixTest, DotFilesAndLinksLeadingNowhereAreLeftOut) {
  TempFolder dir;
  dir.Touch(".CATALOGOS_H.sql");
  dir.Touch("CATALOGOS_A.sql");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "CATALOGOS_dangling.sql");
  fs::create_symlink(dir.path() / "CATALOGOS_A.sql", dir.path() / "CATALOGOS_link.sql");
  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"CATALOGOS_*.sql")),
            (std::vector<std::string>{"CATALOGOS_A.sql", "CATALOGOS_link.sql"}));
}

TEST(FolderSearchPosixTest, NamesEqualAfterUpperCasingComeInRawOrder) {
  TempFolder dir;
  for (const char* name : {"NCM_b.sql", "NCM_A.sql", "NCM_a.sql", "NCM_B.sql", "NCM_c.sql",
                           "NCM_C.sql", "NCM_D.sql", "NCM_d.sql"}) {
    dir.Touch(name);
  }
  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"NCM_*.sql")),
            (std::vector<std::string>{"NCM_A.sql", "NCM_a.sql", "NCM_B.sql", "NCM_b.sql",
                                      "NCM_C.sql", "NCM_c.sql", "NCM_D.sql", "NCM_d.sql"}));
}

TEST(FolderSearchPosixTest, NamesThatAreNotUtf8ReachTheSystemByteForByte) {
  TempFolder dir;
  const std::string scripts = "scripts \xFF";  // the folder's own name is not UTF-8 either
  fs::create_directory(dir.path() / scripts);
  dir.Write(scripts + "/CATALOGOS_\xFF.sql", "ff");
  dir.Write(scripts + "/CATALOGOS_\xFE.sql", "fe");
  const std::u16string folder = NativeToUtf16((dir.path() / scripts).string());
  FolderSearch search;
  std::vector<std::string> found;
  for (std::u16string n = search.First(folder + u"/CATALOGOS_*.sql"); !n.empty(); n = search.Next()) {
    FileBytes file(folder + kPathSeparator + n);
    char content[2];
    ASSERT_EQ(file.Read(content, sizeof content), 2u);
    found.push_back(Utf16ToNative(n) + "=" + std::string(content, 2));
  }
  EXPECT_EQ(found, (std::vector<std::string>{"CATALOGOS_\xFE.sql=fe", "CATALOGOS_\xFF.sql=ff"}));
}

TEST(FolderSearchPosixTest, NamesWithDoubleQuotes) {
  TempFolder dir;
  dir.Touch("NCM_año 2024 'nuevo' \"x\".sql");
  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"NCM_*.sql")),
            (std::vector<std::string>{"NCM_año 2024 'nuevo' \"x\".sql"}));
}

TEST(FolderSearchPosixTest, SocketsAreNotFiles) {
  TempFolder dir;
  std::string socket_path = (dir.path() / "NCM_sock.sql").string();
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof(addr.sun_path));
  socket_path.copy(addr.sun_path, socket_path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
  dir.Touch("NCM_file.sql");
  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"NCM_*.sql")), (std::vector<std::string>{"NCM_file.sql"}));
  close(fd);
}

TEST(FolderSearchPosixTest, UnreadableFolderRaises) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every folder";
  TempFolder dir;
  dir.Touch("NCM_1.sql");
  fs::permissions(dir.path(), fs::perms::none);
  FolderSearch search;
  try {
    search.First(dir.Pattern(u"NCM_*.sql"));
    FAIL() << "expected an error";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.number(), kErrPathFileAccess);
  }
}

}  // namespace
}  // namespace corvalen
