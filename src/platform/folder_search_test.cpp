#include "platform/folder_search.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ansi_file_bytes.h"
#include "platform/numbered_error.h"
#include "platform/path.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

// A scripts folder whose files hold a single byte.
class TempFolder : public testing::TempFolder {
 public:
  void Touch(const std::string& name) const { Write(name, "x"); }
  std::u16string Pattern(const std::u16string& name_pattern) const {
    return Utf16() + kPathSeparator + name_pattern;
  }
};

std::vector<std::string> All(FolderSearch& search, const std::u16string& pattern) {
  std::vector<std::string> names;
  for (std::u16string n = search.First(pattern); !n.empty(); n = search.Next()) {
    names.push_back(Utf16ToUtf8(n));
  }
  return names;
}

TEST(WildcardMatchTest, StarQuestionMarkAndCase) {
  EXPECT_TRUE(WildcardMatch(u"CATALOGOS_*.sql", u"CATALOGOS_.sql"));
  EXPECT_TRUE(WildcardMatch(u"CATALOGOS_*.sql", u"catalogos_a.SQL"));
  EXPECT_TRUE(WildcardMatch(u"CATALOGOS_*.sql", u"CATALOGOS_a.b.sql"));
  EXPECT_FALSE(WildcardMatch(u"CATALOGOS_*.sql", u"CATALOGOSA.sql"));
  EXPECT_FALSE(WildcardMatch(u"CATALOGOS_*.sql", u"CATALOGOS_A.txt"));
  EXPECT_FALSE(WildcardMatch(u"CATALOGOS_*.sql", u"CATALOGOS_A.sql.bak"));
  EXPECT_FALSE(WildcardMatch(u"CATALOGOS_*.sql", u"XCATALOGOS_A.sql"));
  EXPECT_TRUE(WildcardMatch(u"a?c", u"abc"));
  EXPECT_FALSE(WildcardMatch(u"a?c", u"ac"));
  EXPECT_TRUE(WildcardMatch(u"*", u""));
  EXPECT_TRUE(WildcardMatch(u"ncm_*.sql", u"NCM_ÁÉ.sql"));
  EXPECT_TRUE(WildcardMatch(u"*_é*.sql", u"X_É.SQL"));
}

TEST(NtfsOrderTest, UpperCaseOrdinal) {
  EXPECT_TRUE(NtfsNameLess(u"CATALOGOS_10.sql", u"CATALOGOS_2.sql"));
  EXPECT_TRUE(NtfsNameLess(u"CATALOGOS_b.sql", u"CATALOGOS_C.sql"));
  EXPECT_TRUE(NtfsNameLess(u"CATALOGOS_A.sql", u"CATALOGOS_AB.sql"));
  // Names equal after upper-casing are ordered on their raw code units.
  EXPECT_FALSE(NtfsNameLess(u"a.sql", u"A.sql"));
  EXPECT_TRUE(NtfsNameLess(u"A.sql", u"a.sql"));
  EXPECT_FALSE(NtfsNameLess(u"A.sql", u"A.sql"));
  // '_' (0x5F) sorts after the upper-case letters but before lower case would.
  EXPECT_TRUE(NtfsNameLess(u"XZ", u"X_"));
}

TEST(FolderSearchTest, TakesOnlyOrdinaryVisibleFilesInOrder) {
  TempFolder dir;
  for (const char* name : {"CATALOGOS_2.sql", "CATALOGOS_10.sql", "catalogos_b.sql",
                           "CATALOGOS_C.sql", "CATALOGOS_.sql", "CATALOGOSX.sql",
                           "CATALOGOS_A.sql.bak", ".CATALOGOS_H.sql", "NCM_1.sql"}) {
    dir.Touch(name);
  }
  fs::create_directory(dir.path() / "CATALOGOS_D.sql");
  fs::create_directory(dir.path() / "sub");
  dir.Touch("sub/CATALOGOS_0.sql");
  fs::create_symlink(dir.path() / "nowhere", dir.path() / "CATALOGOS_dangling.sql");

  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"CATALOGOS_*.sql")),
            (std::vector<std::string>{"CATALOGOS_.sql", "CATALOGOS_10.sql", "CATALOGOS_2.sql",
                                      "catalogos_b.sql", "CATALOGOS_C.sql"}));
  // After the end, Next keeps answering empty.
  EXPECT_TRUE(search.Next().empty());
}

TEST(FolderSearchTest, NamesEqualAfterUpperCasingComeInRawOrder) {
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

TEST(FolderSearchTest, NamesThatAreNotUtf8ReachTheSystemByteForByte) {
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

TEST(FolderSearchTest, SocketsAreNotFiles) {
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

TEST(FolderSearchTest, NamesWithBlanksQuotesAndAccents) {
  TempFolder dir;
  dir.Touch("NCM_año 2024 'nuevo' \"x\".sql");
  FolderSearch search;
  auto names = All(search, dir.Pattern(u"NCM_*.sql"));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "NCM_año 2024 'nuevo' \"x\".sql");
}

TEST(FolderSearchTest, MissingFolderMatchesNothing) {
  FolderSearch search;
  EXPECT_TRUE(search.First(u"/nonexistent-corvalen-folder/NCM_*.sql").empty());
}

TEST(FolderSearchTest, UnreadableFolderRaises) {
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

TEST(FolderSearchTest, ThousandsOfFilesComeBackSorted) {
  TempFolder dir;
  for (int i = 0; i < 3000; ++i) dir.Touch("HISTORIAL_" + std::to_string(i) + ".sql");
  FolderSearch search;
  auto names = All(search, dir.Pattern(u"HISTORIAL_*.sql"));
  ASSERT_EQ(names.size(), 3000u);
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_TRUE(NtfsNameLess(Utf8ToUtf16(names[i - 1]), Utf8ToUtf16(names[i]))) << names[i];
  }
  EXPECT_EQ(names.front(), "HISTORIAL_0.sql");
  EXPECT_EQ(names[1], "HISTORIAL_1.sql");
  EXPECT_EQ(names[2], "HISTORIAL_10.sql");
}

}  // namespace
}  // namespace corvalen
