// LineInput where Windows has its own behaviour: devices, pipes and files
// held by another program, and double-byte ANSI code pages.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ansi_file.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

using Lines = std::vector<std::u16string>;

Lines ReadAll(const std::u16string& path, size_t chunk) {
  LineInput input(path, chunk);
  Lines lines;
  std::u16string line;
  while (!input.AtEnd()) {
    input.ReadLine(&line);
    lines.push_back(line);
  }
  return lines;
}

TEST(LineInputWindowsTest, OnlyFilesOnDiskThatOthersLetUsReadOpen) {
  EXPECT_EQ(testing::ErrorOf([] { LineInput input(u"NUL"); }).number(), 75);
  EXPECT_EQ(testing::ErrorOf([] { LineInput input(u"\\\\.\\NUL"); }).number(), 75);
  // A pipe opens without waiting, and is refused.
  const wchar_t* pipe_name = L"\\\\.\\pipe\\corvalen-line-input-test";
  HANDLE pipe = CreateNamedPipeW(pipe_name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0,
                                 nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  EXPECT_EQ(testing::ErrorOf([&] {
              LineInput input(reinterpret_cast<const char16_t*>(pipe_name));
            }).number(),
            75);
  CloseHandle(pipe);
  // A file another program holds without sharing.
  testing::TempFolder folder("corvalen-ansi");
  const std::filesystem::path file = folder.Write("NCM_1.sql", "x");
  HANDLE held = CreateFileW(file.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(testing::ErrorOf([&] { LineInput input(folder.Utf16("NCM_1.sql")); }).number(), 75);
  CloseHandle(held);
  EXPECT_EQ(ReadAll(folder.Utf16("NCM_1.sql"), 16), Lines{u"x"});
}

TEST(AnsiCodePageTest, DoubleByteCharactersCutByAChunkEnd) {
  // Run with Wine set to a double-byte code page (LC_ALL=ja_JP.UTF-8 makes
  // it 932), which CORVALEN_ANSI_CODE_PAGE then names.
  if (const char* expected = std::getenv("CORVALEN_ANSI_CODE_PAGE")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
  }
  CPINFO info;
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  if (info.MaxCharSize != 2) GTEST_SKIP() << "the ANSI code page is single-byte";
  // Text the code page holds, with two-byte characters at every offset.
  const std::wstring text = L"A\u3042\u3044x\u3046\u6F22\u5B57\r\n\u3048\r\n";
  std::string bytes(text.size() * 2, '\0');
  bytes.resize(WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                   bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                   nullptr));
  testing::TempFolder folder("corvalen-ansi");
  folder.Write("f.sql", bytes + bytes + "A\x82");  // a lead byte at the end
  const std::u16string path = folder.Utf16("f.sql");
  const Lines whole = ReadAll(path, LineInput::kDefaultChunkBytes);
  ASSERT_EQ(whole.size(), 5u);
  EXPECT_EQ(whole[0], u"A\u3042\u3044x\u3046\u6F22\u5B57");
  EXPECT_EQ(whole[3], u"\u3048");
  for (size_t chunk : {3, 4, 5, 6, 7}) EXPECT_EQ(ReadAll(path, chunk), whole) << chunk;
}

}  // namespace
}  // namespace corvalen
