#include "tsql/sql_scanner.h"

namespace corvalen {

LexicalRules LexicalRulesOf(const TextRules& text) {
  LexicalRules rules;
  switch (text.dialect) {
    case Dialect::kSqlServer:
      break;
    case Dialect::kPostgresql:
      rules.bracket_names = false;
      rules.dollar_quotes = true;
      rules.escape_strings = true;
      rules.backslash_strings = text.backslash_strings;
      break;
    case Dialect::kSqlite:
      rules.nested_comments = false;
      rules.bracket_doubles = false;
      rules.backquote_names = true;
      break;
  }
  return rules;
}

SqlScanner::SqlScanner(const LexicalRules& rules) : rules_(rules) {
  for (char16_t c : std::u16string_view(u"-/'\"")) opens_[c] = true;
  opens_[u'['] = rules.bracket_names;
  opens_[u'`'] = rules.backquote_names;
  opens_[u'$'] = rules.dollar_quotes;
}

void SqlScanner::Follow(std::u16string_view part) {
  const char16_t* p = part.data();
  const char16_t* const end = p + part.size();
  Resume(p, end);
  while (p < end) {
    while (p < end && !MayOpen(*p)) ++p;
    if (p == end) break;
    if (Open(part.data(), p, end) == kCode) ++p;
  }
}

}  // namespace corvalen
