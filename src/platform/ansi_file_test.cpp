#include "platform/ansi_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tests/fakes/temp_folder.h"

namespace corvalen {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;

class LineInputTest : public ::testing::Test {
 protected:
  LineInputTest() : dir_(folder_.path()) {}

  std::u16string Write(const std::string& bytes, const std::string& name = "f.sql") {
    return Utf8ToUtf16(folder_.Write(name, bytes).string());
  }

  // Every line of the file, read with the given chunk size.
  static std::vector<std::u16string> ReadAll(const std::u16string& path,
                                           size_t chunk = LineInput::kDefaultChunkBytes) {
    LineInput input(path, chunk);
    std::vector<std::u16string> lines;
    std::u16string line;
    while (!input.AtEnd()) {
      input.ReadLine(&line);
      lines.push_back(line);
    }
    return lines;
  }

  std::vector<std::u16string> LinesOf(const std::string& bytes, size_t chunk = 1 << 20) {
    return ReadAll(Write(bytes), chunk);
  }

  static std::string Utf16Bytes(std::u16string_view text, bool little_endian) {
    std::string out;
    for (char16_t c : text) {
      char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
      out += little_endian ? lo : hi;
      out += little_endian ? hi : lo;
    }
    return out;
  }

  corvalen::testing::TempFolder folder_{"corvalen-ansi"};
  fs::path dir_;
};

TEST_F(LineInputTest, CrAndCrLfEndLinesALoneLfStaysInTheLine) {
  EXPECT_EQ(LinesOf("A\r\nB\rC\nD"), (Lines{u"A", u"B", u"C\nD"}));
  EXPECT_EQ(LinesOf("one\ntwo\nthree\n"), (Lines{u"one\ntwo\nthree\n"}));
  EXPECT_EQ(LinesOf("A\r\r\nB"), (Lines{u"A", u"", u"B"}));
  EXPECT_EQ(LinesOf("A\n\r\nB"), (Lines{u"A\n", u"B"}));
  EXPECT_EQ(LinesOf("\r\n\r\n"), (Lines{u"", u""}));
}

TEST_F(LineInputTest, LastLineIsReadWithOrWithoutALineEnd) {
  EXPECT_EQ(LinesOf("A\r\nB"), (Lines{u"A", u"B"}));
  EXPECT_EQ(LinesOf("A\r\nB\r\n"), (Lines{u"A", u"B"}));
  EXPECT_EQ(LinesOf("A\r"), (Lines{u"A"}));
  EXPECT_EQ(LinesOf("\n"), (Lines{u"\n"}));
  EXPECT_EQ(LinesOf(""), Lines{});
}

TEST_F(LineInputTest, ReadingPastTheEndIsError62) {
  LineInput input(Write("A\r\n"));
  std::u16string line;
  input.ReadLine(&line);
  EXPECT_TRUE(input.AtEnd());
  try {
    input.ReadLine(&line);
    FAIL() << "no error";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.number(), 62);
    EXPECT_EQ(e.description(), u"Input past end of file");
  }
}

TEST_F(LineInputTest, ChunkBoundariesNeverChangeTheLines) {
  // CR at a chunk's end with its LF in the next chunk, multi-byte sequences
  // cut in two (well-formed or not), long lines spanning many chunks.
  std::string long_line(100, 'x');
  const std::vector<std::string> files = {
      "ab\r\ncd\r\nef\rg\nh\r\n",
      "\xEF\xBB\xBF" "\xC3\xA9t\xC3\xA9\r\n\xE2\x82\xAC\r\n\xF0\x9F\x98\x80x\r",
      "\xFF\xFE" + Utf16Bytes(u"A\r\n\u20AC\r\n\U0001F600\rB\n", true),
      "\xFE\xFF" + Utf16Bytes(u"A\r\n\u20AC\r\n\U0001F600\rB\n", false),
      long_line + "\r\n" + long_line + "\r" + long_line + "\n" + long_line,
      "caf\xE9\r\n\x80\r\n",
      "\xEF\xBB\xBF" "a\xF0\x9F\x98" "b\xE2\x82\xED\xA0\x80\xF4\x90\r\n\xC3",
      "\xFF\xFE" + Utf16Bytes(u"A\xD800" u"B\xDC00\xD800", true) + "C",
  };
  for (const std::string& bytes : files) {
    std::u16string path = Write(bytes);
    Lines whole = ReadAll(path);
    for (size_t chunk : {3, 4, 5, 7, 16, 17, 64}) {
      EXPECT_EQ(ReadAll(path, chunk), whole) << "chunk " << chunk << " of " << Utf16ToUtf8(path);
    }
  }
}

TEST_F(LineInputTest, Windows1252IsTheDefaultEncoding) {
  // Windows-1252 on POSIX; on Windows the system's ANSI code page, which is
  // Windows-1252 where the tests run.
  LineInput input(Write("caf\xE9 \x80 \x93x\x94 \x81\r\n"));
  std::u16string line;
  input.ReadLine(&line);
  EXPECT_EQ(line, u"caf\u00E9 \u20AC \u201Cx\u201D \u0081");
  EXPECT_EQ(input.encoding(), TextEncoding::kAnsiCodePage);
}

TEST_F(LineInputTest, ByteOrderMarkChoosesTheEncodingAndIsNotText) {
  struct Case {
    std::string bytes;
    TextEncoding encoding;
  };
  const std::u16string text = u"sel\u00E9ct \u20AC";
  std::string utf8 = Utf16ToUtf8(text);
  std::vector<Case> cases = {
      {"\xEF\xBB\xBF" + utf8 + "\r\nGO\r\n", TextEncoding::kUtf8},
      {"\xFF\xFE" + Utf16Bytes(text + u"\r\nGO\r\n", true), TextEncoding::kUtf16Le},
      {"\xFE\xFF" + Utf16Bytes(text + u"\r\nGO\r\n", false), TextEncoding::kUtf16Be},
  };
  for (const Case& c : cases) {
    LineInput input(Write(c.bytes));
    std::vector<std::u16string> lines;
    std::u16string line;
    while (!input.AtEnd()) {
      input.ReadLine(&line);
      lines.push_back(line);
    }
    EXPECT_EQ(lines, (Lines{text, u"GO"}));
    EXPECT_EQ(input.encoding(), c.encoding);
  }
  // A mark alone is an empty file; a partial mark is Windows-1252 text.
  EXPECT_EQ(LinesOf("\xEF\xBB\xBF"), Lines{});
  EXPECT_EQ(LinesOf("\xFF\xFE"), Lines{});
  EXPECT_EQ(LinesOf("\xEF\xBB"), (Lines{u"\u00EF\u00BB"}));
  // Only the first mark is dropped.
  EXPECT_EQ(LinesOf("\xEF\xBB\xBF\xEF\xBB\xBFx"), (Lines{u"\uFEFFx"}));
}

TEST_F(LineInputTest, IllFormedUnicodeBecomesReplacementCharacters) {
  EXPECT_EQ(LinesOf("\xEF\xBB\xBF" "a\xFF" "b\r\nc\xC3"), (Lines{u"a\uFFFDb", u"c\uFFFD"}));
  EXPECT_EQ(LinesOf(std::string("\xFF\xFE" "A\0B", 5)), (Lines{u"A\uFFFD"}));
  // One U+FFFD for each maximal subpart of a sequence and for each unpaired
  // surrogate; a pair cut short by the end of the file is one.
  EXPECT_EQ(LinesOf("\xEF\xBB\xBF" "\xF0\x9F\x98" "A\xE0\x80\xED\xA0\x80\xF4\x90"),
            (Lines{u"\uFFFDA\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}));
  EXPECT_EQ(LinesOf(std::string("\xFE\xFF" "\xD8\x00\xD8\x00\xDC\x00\xDC\x00" "\xD8\x00" "A", 13)),
            (Lines{u"\uFFFD\U00010000\uFFFD\uFFFD"}));
}

TEST_F(LineInputTest, OpenFailuresAreNumberedErrors) {
  auto error_of = [](const std::u16string& path) {
    try {
      LineInput input(path);
      input.AtEnd();
    } catch (const NumberedError& e) {
      return e;
    }
    return NumberedError(0, u"");
  };
  NumberedError missing = error_of(Utf8ToUtf16((dir_ / "missing.sql").string()));
  EXPECT_EQ(missing.number(), 53);
  EXPECT_EQ(missing.description(), u"File not found");
  EXPECT_EQ(error_of(Utf8ToUtf16((dir_ / "no-folder" / "x.sql").string())).number(), 76);
  EXPECT_EQ(error_of(Utf8ToUtf16(dir_.string())).number(), 75);
  EXPECT_EQ(error_of(u"").number(), 52);
}

}  // namespace
}  // namespace corvalen
