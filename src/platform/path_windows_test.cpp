// Paths and the environment where Windows has its own behaviour: the
// variables of the 32-bit program folder, and values read through Win32.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/path.h"

namespace corvalen {
namespace {

// Sets (or, with no value, removes) an environment variable for the test's
// lifetime and puts the old value back at the end.
class ScopedVariable {
 public:
  ScopedVariable(const wchar_t* name, std::optional<std::wstring> value) : name_(name) {
    if (const DWORD n = GetEnvironmentVariableW(name, nullptr, 0); n > 0) {
      std::wstring old(n, L'\0');
      old.resize(GetEnvironmentVariableW(name, old.data(), n));
      old_ = old;
    }
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
  }
  ~ScopedVariable() { SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const wchar_t* name_;
  std::optional<std::wstring> old_;
};

TEST(ProgramFilesFolderTest, The32BitFolderWhereWindowsNamesOne) {
  ScopedVariable x64(L"ProgramFiles", L"C:\\Program Files");
  {
    ScopedVariable x86(L"ProgramFiles(x86)", L"C:\\Program Files (x86)");
    EXPECT_EQ(ProgramFilesFolder(), u"C:\\Program Files (x86)");
  }
  {
    ScopedVariable x86(L"ProgramFiles(x86)", std::nullopt);  // 32-bit Windows
    EXPECT_EQ(ProgramFilesFolder(), u"C:\\Program Files");
  }
  ScopedVariable x86(L"ProgramFiles(x86)", std::nullopt);
  ScopedVariable none(L"ProgramFiles", std::nullopt);
  EXPECT_EQ(ProgramFilesFolder(), u"");
}

TEST(EnvironmentWindowsTest, SetEmptyLongAndUnset) {
  {
    ScopedVariable empty(L"CORVALEN_TEST_VARIABLE", L"");
    EXPECT_TRUE(EnvironmentHas(u"CORVALEN_TEST_VARIABLE"));
    EXPECT_EQ(EnvironmentValue(u"CORVALEN_TEST_VARIABLE"), u"");
  }
  {
    const std::wstring long_value = L"C:\\Programas \u00F1 \U0001F600 " + std::wstring(2000, L'x');
    ScopedVariable set(L"CORVALEN_TEST_VARIABLE", long_value);
    EXPECT_TRUE(EnvironmentHas(u"CORVALEN_TEST_VARIABLE"));
    EXPECT_EQ(EnvironmentValue(u"CORVALEN_TEST_VARIABLE"),
              std::u16string(long_value.begin(), long_value.end()));
  }
  EXPECT_FALSE(EnvironmentHas(u"CORVALEN_TEST_VARIABLE"));
  EXPECT_EQ(EnvironmentValue(u"CORVALEN_TEST_VARIABLE"), u"");
}

TEST(ProgramFolderWindowsTest, HoldsTheRunningProgram) {
  const std::u16string folder = ProgramFolder();
  const std::u16string program = folder + u"\\platform_test.exe";
  EXPECT_NE(GetFileAttributesW(reinterpret_cast<const wchar_t*>(program.c_str())),
            INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace corvalen
