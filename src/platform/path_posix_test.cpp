// Paths where POSIX has its own behaviour: system names that are not UTF-8.
#include "platform/path.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

extern char** environ;

namespace corvalen {
namespace {

namespace fs = std::filesystem;

constexpr char kProbeVariable[] = "CORVALEN_PROGRAM_FOLDER_PROBE";

// Run as the probe, this test program writes ProgramFolder() as the bytes
// it stands for into the file the variable names, and ends before any test.
[[maybe_unused]] const bool kProbe = [] {
  if (const char* out = std::getenv(kProbeVariable)) {
    std::ofstream(out, std::ios::binary) << Utf16ToNative(ProgramFolder());
    std::_Exit(0);
  }
  return false;
}();

TEST(ProgramFolderTest, AFolderNameThatIsNotUtf8ComesBackByteForByte) {
  testing::TempFolder dir;
  const fs::path folder = dir.path() / "bin\xFF\xE9";
  fs::create_directory(folder);
  const fs::path program = folder / "platform_test";
  const fs::path self = fs::read_symlink("/proc/self/exe");
  std::error_code linked;
  fs::create_hard_link(self, program, linked);
  if (linked) fs::copy_file(self, program);  // another file system
  const std::string out = (dir.path() / "folder.out").string();
  setenv(kProbeVariable, out.c_str(), 1);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid;
  const int spawned = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  unsetenv(kProbeVariable);
  ASSERT_EQ(spawned, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  std::ifstream in(out, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), folder.string());
}

TEST(EnvironmentTest, AValueThatIsNotUtf8ComesBackByteForByte) {
  setenv("CORVALEN_TEST_FOLDER", "/opt/Programas \xFF\xC3\xB1", 1);
  const std::u16string value = EnvironmentValue(u"CORVALEN_TEST_FOLDER");
  unsetenv("CORVALEN_TEST_FOLDER");
  EXPECT_EQ(Utf16ToNative(value), "/opt/Programas \xFF\xC3\xB1");
  EXPECT_EQ(DisplayName(value), u"/opt/Programas \uFFFDñ");
}

}  // namespace
}  // namespace corvalen
