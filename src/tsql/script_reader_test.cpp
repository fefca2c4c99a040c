#include "tsql/script_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/utf.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;

void ExpectSameText(const fs::path& file) {
  SCOPED_TRACE(file.string());
  const std::u16string path = Utf8ToUtf16(file.string());
  std::optional<TextEncoding> builder_encoding, direct_encoding;
  const std::u16string by_lines = ReadScriptText(path, &builder_encoding);
  EXPECT_EQ(ReadScriptTextDirect(path, &direct_encoding), by_lines);
  EXPECT_EQ(direct_encoding, builder_encoding);
}

TEST(ScriptReaderTest, DirectReadingGivesTheRunsText) {
  for (const char* folder : {"/scripts", "/check", "/e2e"}) {
    for (const auto& entry : fs::directory_iterator(std::string(CORVALEN_TEST_DATA) + folder)) {
      ExpectSameText(entry.path());
    }
  }
  // Lone CRs and LFs, a CR LF split by the chunk's end, no line end at the end.
  const fs::path file = fs::temp_directory_path() / "corvalen-lector-directo.sql";
  for (const std::string& tail : {std::string("x"), std::string("\r"), std::string("\n"),
                                  std::string("\r\n")}) {
    std::string bytes = "a\rb\nc\r\n\r\r\nd";
    bytes.resize((1 << 20) - 1, 'e');
    bytes += "\r\nf\xe9" + tail;
    std::ofstream(file, std::ios::binary) << bytes;
    ExpectSameText(file);
  }
  fs::remove(file);
}

}  // namespace
}  // namespace corvalen
