// A light scan of T-SQL text: the words and the other significant characters
// that lie outside comments, string literals and quoted names. It parses
// nothing; it is enough to find statements by their leading words.
#ifndef CORVALEN_UPDATE_SQL_SCAN_H_
#define CORVALEN_UPDATE_SQL_SCAN_H_

#include <cstddef>
#include <functional>
#include <string_view>

namespace corvalen {

// What the scan hands out, in text order.
struct SqlToken {
  enum Kind { kWord, kOther } kind;
  // A word: letters, digits, '_', '@', '#', '$'. Other: one character, or a
  // whole string literal or quoted name.
  std::u16string_view text;
  size_t position;  // within the scanned text
};

// Calls `token` for each token of `text`; `--` line comments and nested
// `/* */` comments are skipped, and so are blanks. Stops when `token`
// returns false.
void ScanSql(std::u16string_view text, const std::function<bool(const SqlToken&)>& token);

// Whether a word is `upper` (upper-case ASCII) without regard to case.
bool WordIs(std::u16string_view word, std::u16string_view upper);

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_SQL_SCAN_H_
