// Paths only Windows has: drives, network shares, device names, and paths
// beyond 260 characters.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ansi_file_bytes.h"
#include "platform/file_info.h"
#include "platform/file_write.h"
#include "platform/folder_search.h"
#include "platform/long_path.h"
#include "platform/path.h"

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

// Each call that takes a path gets it in the extended form here (Wine
// takes long paths either way; Windows without the long path setting only
// in that form).
TEST(FileInfoWindowsTest, AFolderBeyond260CharactersIsFoundReadAndWritten) {
  std::u16string folder(MAX_PATH, u'\0');
  folder.resize(GetTempPathW(MAX_PATH, reinterpret_cast<wchar_t*>(folder.data())));
  std::vector<std::u16string> made;
  for (int i = 0; i < 4; ++i) {
    folder += std::u16string(80, static_cast<char16_t>(u'a' + i)) + u"\\";
    ASSERT_TRUE(CreateDirectoryW(reinterpret_cast<const wchar_t*>(SystemPath(folder).c_str()),
                                 nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    made.push_back(folder);
  }
  const std::u16string script = folder + u"NCM_1.sql";
  ASSERT_GT(script.size(), 300u);
  WriteFileAtomically(script, "SELECT 1");
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_EQ(KindOfFile(script), FileKind::kFile);
  FolderSearch search;
  EXPECT_EQ(search.First(folder + u"NCM_*.sql"), u"NCM_1.sql");
  FileBytes bytes(script);
  char buffer[16];
  EXPECT_EQ(std::string(buffer, bytes.Read(buffer, sizeof buffer)), "SELECT 1");
  bytes.Close();
  DeleteFileW(reinterpret_cast<const wchar_t*>(SystemPath(script).c_str()));
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    RemoveDirectoryW(reinterpret_cast<const wchar_t*>(SystemPath(*it).c_str()));
  }
}

}  // namespace
}  // namespace corvalen
