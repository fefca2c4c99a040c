// LineInput where POSIX has its own behaviour: permissions, FIFOs and
// devices, and Windows-1252 as ICU defines it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/ansi_file.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/error_of.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

TEST(LineInputPosixTest, AFileWithoutReadPermissionIsError75) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads anything";
  testing::TempFolder folder("corvalen-ansi");
  const std::u16string path = Utf8ToUtf16(folder.Write("f.sql", "x").string());
  fs::permissions(folder.path() / "f.sql", fs::perms::none);
  const NumberedError denied = testing::ErrorOf([&] { LineInput input(path); });
  EXPECT_EQ(denied.number(), 75);
  EXPECT_EQ(denied.description(), u"Path/File access error");
}

TEST(LineInputPosixTest, WhatIsNoLongerARegularFileIsRefusedAtOnce) {
  // A script replaced by a FIFO after the listing: opening must not wait for
  // a writer. Should it wait, a writer comes after two seconds, so that the
  // test fails instead of hanging.
  testing::TempFolder folder("corvalen-ansi");
  const std::string fifo = (folder.path() / "NCM_1.sql").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::atomic<bool> answered{false};
  std::thread writer([&] {
    for (int i = 0; i < 200 && !answered; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (int fd = answered ? -1 : open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) close(fd);
  });
  const NumberedError error = testing::ErrorOf([&] { LineInput input(Utf8ToUtf16(fifo)); });
  answered = true;
  writer.join();
  EXPECT_EQ(error.number(), 75);
  EXPECT_EQ(testing::ErrorOf([] { LineInput input(u"/dev/null"); }).number(), 75);
}

TEST(LineInputPosixTest, TheCodePageIsWindows1252AsIcuDefinesIt) {
  // Every byte, at every position of a block, so that the ASCII fast path
  // and the table agree with ICU's converter.
  UErrorCode status = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("windows-1252", &status);
  ASSERT_TRUE(U_SUCCESS(status));
  std::string all;
  std::u16string expected;
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    UChar out[4];
    status = U_ZERO_ERROR;
    ASSERT_EQ(ucnv_toUChars(cnv, out, 4, &in, 1, &status), 1);
    all += in;
    expected += out[0];
  }
  ucnv_close(cnv);
  for (size_t shift = 0; shift < 16; ++shift) {
    const std::string bytes = std::string(shift, 'a') + all;
    TextDecoder decoder(TextEncoding::kAnsiCodePage);
    std::u16string decoded(TextDecoder::MaxOutput(bytes.size()), u'\0');
    decoded.resize(decoder.Decode(bytes, decoded.data()));
    EXPECT_EQ(decoded, std::u16string(shift, u'a') + expected) << shift;
  }
}

}  // namespace
}  // namespace corvalen
