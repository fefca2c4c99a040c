// The folder search where Windows has its own behaviour: files marked hidden
// or system are left out, whatever their names.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/folder_search.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

TEST(FolderSearchWindowsTest, HiddenAndSystemFilesAreLeftOut) {
  testing::TempFolder dir;
  for (const char* name : {"NCM_1.sql", "NCM_hidden.sql", "NCM_system.sql", "NCM_readonly.sql"}) {
    dir.Write(name, "x");
  }
  auto mark = [&](const char* name, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesW((dir.path() / name).wstring().c_str(), attributes));
  };
  mark("NCM_hidden.sql", FILE_ATTRIBUTE_HIDDEN);
  mark("NCM_system.sql", FILE_ATTRIBUTE_SYSTEM);
  mark("NCM_readonly.sql", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  FolderSearch search;
  std::vector<std::u16string> names;
  for (std::u16string n = search.First(dir.Utf16() + u"\\NCM_*.sql"); !n.empty(); n = search.Next()) {
    names.push_back(n);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"NCM_1.sql", u"NCM_readonly.sql"}));
  for (const char* name : {"NCM_hidden.sql", "NCM_system.sql", "NCM_readonly.sql"}) {
    mark(name, FILE_ATTRIBUTE_NORMAL);  // so that the folder can be removed
  }
}

}  // namespace
}  // namespace corvalen
