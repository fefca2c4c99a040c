#include "update/script_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"

namespace corvalen {
namespace {

ScriptCheck Check(const std::string& name) {
  return CheckScript(Utf8ToUtf16(std::string(CORVALEN_TEST_DATA) + "/check/" + name));
}

// Findings as "line: first two words of the text".
std::vector<std::string> Lines(const ScriptCheck& check) {
  std::vector<std::string> out;
  for (const Finding& f : check.findings) {
    const std::string text = Utf16ToUtf8(f.text);
    out.push_back(std::to_string(f.line) + ": " + text.substr(0, text.find(' ', text.find(' ') + 1)));
  }
  return out;
}

std::vector<std::string> Ranges(const ScriptCheck& check) {
  std::vector<std::string> out;
  for (const GroupLines& g : check.groups) out.push_back(std::to_string(g.first) + "-" + std::to_string(g.last));
  return out;
}

TEST(ScriptCheckTest, EveryTrapIsFoundOnItsLineAndNothingInCommentsOrStrings) {
  const ScriptCheck check = Check("trampas.sql");
  EXPECT_EQ(check.pieces, 5u);
  EXPECT_EQ(Ranges(check), (std::vector<std::string>{"1-10"}));
  EXPECT_EQ(Lines(check), (std::vector<std::string>{
                              "4: CREATE SCHEMA",
                              "7: la línea",
                              "8: GO con",
                              "9: BEGIN TRAN",
                              "10: COMMIT termina",
                              "12: texto después",
                          }));
  EXPECT_NE(Utf16ToUtf8(check.findings[1].text).find("\"GOTO\""), std::string::npos);
}

TEST(ScriptCheckTest, NoSeparatorAndUtf8WithoutMark) {
  EXPECT_EQ(Lines(Check("sin_go.sql")), (std::vector<std::string>{"1: no hay"}));
  const ScriptCheck utf8 = Check("utf8_sin_bom.sql");
  EXPECT_EQ(Lines(utf8), (std::vector<std::string>{"2: el archivo"}));
  // Readable and well cut all the same.
  EXPECT_EQ(Ranges(utf8), (std::vector<std::string>{"1-2"}));
}

TEST(ScriptCheckTest, GroupLinesAreTheFilesWhateverItsLineEnds) {
  for (const char* name : {"rangos_crlf.sql", "rangos_lf.sql", "rangos_mixto.sql"}) {
    SCOPED_TRACE(name);
    const ScriptCheck check = Check(name);
    EXPECT_EQ(Ranges(check), (std::vector<std::string>{"1-3", "6-6", "8-8"}));
    EXPECT_TRUE(check.findings.empty()) << Lines(check).front();
  }
}

TEST(ScriptCheckTest, AnUnreadableFileIsAFinding) {
  const ScriptCheck check = Check("no_existe.sql");
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_EQ(check.findings[0].line, 0);
  EXPECT_EQ(check.findings[0].text, u"no se puede leer: File not found");
}

}  // namespace
}  // namespace corvalen
