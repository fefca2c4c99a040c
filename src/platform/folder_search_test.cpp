#include "platform/folder_search.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/path.h"
#include "platform/utf.h"
#include "platform/folder_search_fixture.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

using TempFolder = SearchFolder;

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
                           "CATALOGOS_A.sql.bak", "NCM_1.sql"}) {
    dir.Touch(name);
  }
  fs::create_directory(dir.path() / "CATALOGOS_D.sql");
  fs::create_directory(dir.path() / "sub");
  dir.Touch("sub/CATALOGOS_0.sql");

  FolderSearch search;
  EXPECT_EQ(All(search, dir.Pattern(u"CATALOGOS_*.sql")),
            (std::vector<std::string>{"CATALOGOS_.sql", "CATALOGOS_10.sql", "CATALOGOS_2.sql",
                                      "catalogos_b.sql", "CATALOGOS_C.sql"}));
  // After the end, Next keeps answering empty.
  EXPECT_TRUE(search.Next().empty());
}

TEST(FolderSearchTest, NamesWithBlanksQuotesAndAccents) {
  TempFolder dir;
  std::ofstream(dir.path() / fs::path(u8"NCM_año 2024 'nuevo' (€).sql")) << "x";
  FolderSearch search;
  auto names = All(search, dir.Pattern(u"NCM_*.sql"));
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "NCM_año 2024 'nuevo' (€).sql");
}

TEST(FolderSearchTest, MissingFolderMatchesNothing) {
  FolderSearch search;
  EXPECT_TRUE(search.First(u"/nonexistent-corvalen-folder/NCM_*.sql").empty());
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
