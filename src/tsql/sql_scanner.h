// The lexical core every database's text is read with: where comments,
// strings and quoted names open and close, by the rules of the database the
// text goes to (LexicalRules: data, not code, for each database). Text may
// be given in parts (the pieces of one call, and the CR LF the run puts
// between them as parts of their own): what a part leaves open carries over
// to the next.
//
// Follow reads parts for open() alone. A reader that takes tokens itself
// (TsqlReader::Read) asks Resume at each part's start and Open at each
// character that may open something, and reads the code in between.
#ifndef CORVALEN_TSQL_SQL_SCANNER_H_
#define CORVALEN_TSQL_SQL_SCANNER_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/dialect.h"

namespace corvalen {

// How a connection reads the text it is sent.
struct TextRules {
  Dialect dialect = Dialect::kSqlServer;
  // PostgreSQL with standard_conforming_strings off: plain '...' strings
  // take backslash escapes.
  bool backslash_strings = false;
};

// What a database's lexer makes of the characters that may open a comment,
// a string or a quoted name. Every database has `--` line comments, '...'
// strings with '' inside and "..." names with "" inside.
struct LexicalRules {
  bool nested_comments = true;     // /* /* */ */ is one comment (not SQLite)
  bool bracket_names = true;       // [name]
  bool bracket_doubles = true;     // ]] inside [...] stands for ] (T-SQL)
  bool backquote_names = false;    // `name`, `` inside (SQLite)
  bool dollar_quotes = false;      // $$...$$, $tag$...$tag$ (PostgreSQL)
  bool escape_strings = false;     // E'...' with backslash escapes (PostgreSQL)
  bool backslash_strings = false;  // plain '...' with backslash escapes too
};

// T-SQL's rules (SQL Server).
inline constexpr LexicalRules kTsqlRules{};
// The rules of the database `rules` names.
LexicalRules LexicalRulesOf(const TextRules& rules);

// What a text read so far ends inside of.
enum class TextOpen : uint8_t {
  kNothing, kBlockComment, kString, kBracketName, kQuotedName, kBackquoteName, kDollarString
};

class SqlScanner {
 public:
  explicit SqlScanner(const LexicalRules& rules);
  SqlScanner(const SqlScanner&) = delete;
  SqlScanner& operator=(const SqlScanner&) = delete;

  // Reads the next part for what it opens and closes, nothing else.
  void Follow(std::u16string_view part);

  // What a lexeme that Resume or Open read is.
  enum Lexeme : uint8_t { kCode, kComment, kString, kName };

  // At the start of a part, [p, end): continues what the previous part left
  // open, and moves p past it (to end while it stays open). kCode, p
  // unmoved, when nothing was open.
  Lexeme Resume(const char16_t*& p, const char16_t* end);

  // At p, a character of the part that starts at `part` and ends at `end`:
  // reads the comment, string or name it opens under the rules and moves p
  // past it (to end while it stays open: open() says so). kCode, p unmoved,
  // when it opens nothing. A string's prefix (N'...', E'...') stands
  // before p.
  Lexeme Open(const char16_t* part, const char16_t*& p, const char16_t* end);

  // Whether the character may open something under the rules.
  bool MayOpen(char16_t c) const { return c < 128 && opens_[c]; }

  // The steps of Open, for a reader that already knows what stands at p:
  // each returns the position past what opens at p (end while it stays
  // open). At "--":
  const char16_t* LineComment(const char16_t* p, const char16_t* end);
  // At "/*":
  const char16_t* BlockComment(const char16_t* p, const char16_t* end);
  // At a quote of the part that starts at `part` (its prefix, N'...',
  // E'...', stands before p):
  const char16_t* String(const char16_t* part, const char16_t* p, const char16_t* end);
  // At '"', or at '[' or '`' where the rules make it open a name:
  const char16_t* Name(const char16_t* p, const char16_t* end);

  // What the text read so far ends inside of, and where that opened (in
  // the part that opened it, a string at its prefix; null for kNothing).
  // A line comment open at a part's end is no such thing: it ends at the
  // line's end whatever follows.
  TextOpen open() const { return open_; }
  const char16_t* opened_at() const { return opened_at_; }
  // Where comments do not nest: the first "/*" read inside a block comment
  // (null when none); the comment ends at the first "*/" all the same.
  const char16_t* nested_opener_at() const { return nested_opener_at_; }

 private:
  const char16_t* BlockCommentEnd(const char16_t* p, const char16_t* end);
  const char16_t* QuotedEnd(const char16_t* p, const char16_t* end, char16_t close,
                            bool doubles);
  const char16_t* BackslashStringEnd(const char16_t* p, const char16_t* end);
  const char16_t* DollarStringEnd(const char16_t* p, const char16_t* end);
  const char16_t* StringStart(const char16_t* part, const char16_t* quote) const;
  // String where a string may take backslash escapes (PostgreSQL).
  const char16_t* EscapedString(const char16_t* part, const char16_t* p, const char16_t* end);
  void LeaveStringOpen(const char16_t* part, const char16_t* quote, bool backslashes);
  Lexeme OpenDollarString(const char16_t* part, const char16_t*& p, const char16_t* end);

  LexicalRules rules_;
  std::array<bool, 128> opens_{};
  TextOpen open_ = TextOpen::kNothing;
  const char16_t* opened_at_ = nullptr;
  const char16_t* nested_opener_at_ = nullptr;
  int32_t comment_depth_ = 0;
  bool in_line_comment_ = false;
  bool string_backslashes_ = false;  // the open string takes backslash escapes
  bool escape_pending_ = false;      // and the part ended right after a backslash
  std::u16string dollar_tag_;        // the open dollar string's $tag$
};

}  // namespace corvalen

#include "tsql/sql_scanner_inl.h"

#endif  // CORVALEN_TSQL_SQL_SCANNER_H_
