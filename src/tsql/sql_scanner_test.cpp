#include "tsql/sql_scanner.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>
#include <string>

#include "platform/utf.h"

namespace corvalen {
namespace {

// SQLite's own reading is the judge: sqlite3_complete says whether a text
// ends outside every comment, string and name (with ";" on a line of its
// own after it). Texts are made at random of the marks that open and close
// them, in every order.
TEST(SqlScannerTest, SqliteEndsInsideWhatSqliteItselfEndsInside) {
  const char* const kBits[] = {"'", "''", "\"", "`", "[", "]", "/*", "*/", "*", "/", "--",
                               "-", "\n", "a", " ", "$$", "\\"};
  std::mt19937 random(20261208);
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    const int bits = static_cast<int>(random() % 14);
    for (int k = 0; k < bits; ++k) text += kBits[random() % std::size(kBits)];
    const std::u16string wide = Utf8ToUtf16(text);
    SqlScanner scanner(LexicalRulesOf(TextRules{Dialect::kSqlite, false}));
    scanner.Follow(wide);
    const bool complete = sqlite3_complete((text + "\n;").c_str()) != 0;
    EXPECT_EQ(scanner.open() == TextOpen::kNothing, complete) << text;
  }
}

}  // namespace
}  // namespace corvalen
