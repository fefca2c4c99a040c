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

// Inside a string where a backslash escapes the next character and '' is a
// quote: past its closing quote, or null when `end` comes first.
const char16_t* SqlScanner::BackslashStringEnd(const char16_t* p, const char16_t* end) {
  if (escape_pending_) {
    if (p == end) return nullptr;
    escape_pending_ = false;
    ++p;
  }
  for (;;) {
    p = scan_detail::FindEither(p, end, u'\'', u'\\');
    if (p == end) return nullptr;
    if (*p++ == u'\\') {
      if (p == end) {
        escape_pending_ = true;
        return nullptr;
      }
      ++p;
      continue;
    }
    if (p == end || *p != u'\'') return p;
    ++p;
  }
}

// Inside a dollar string: past its closing $tag$, or null when `end` comes
// first.
const char16_t* SqlScanner::DollarStringEnd(const char16_t* p, const char16_t* end) {
  const std::u16string_view rest(p, static_cast<size_t>(end - p));
  const size_t at = rest.find(dollar_tag_);
  return at == std::u16string_view::npos ? nullptr : p + at + dollar_tag_.size();
}

// Where the string whose quote is at `quote` starts: at its one-letter
// prefix (N'...', and on PostgreSQL E'...', B'...', X'...', U&'...') when
// that stands alone, not at the end of a longer word.
const char16_t* SqlScanner::StringStart(const char16_t* part,
                                               const char16_t* quote) const {
  using scan_detail::IsWordChar;
  auto alone = [part](const char16_t* letter) {
    return letter == part || !IsWordChar(letter[-1]);
  };
  if (quote == part) return quote;
  const char16_t prefix = quote[-1] | 0x20;
  if (prefix == u'n' || (rules_.escape_strings && (prefix == u'e' || prefix == u'b' ||
                                                   prefix == u'x'))) {
    return alone(quote - 1) ? quote - 1 : quote;
  }
  if (rules_.escape_strings && quote[-1] == u'&' && quote - part >= 2 &&
      (quote[-2] | 0x20) == u'u' && alone(quote - 2)) {
    return quote - 2;
  }
  return quote;
}

SqlScanner::Lexeme SqlScanner::OpenDollarString(const char16_t* part, const char16_t*& p,
                                                       const char16_t* end) {
  using namespace scan_detail;
  // A $ inside a word ($ may continue a name) or before a digit ($1) opens
  // nothing.
  if (p > part && IsWordChar(p[-1])) return kCode;
  const char16_t* q = p + 1;
  if (q < end && IsTagStart(*q)) {
    while (q < end && IsTagChar(*q)) ++q;
  }
  if (q == end || *q != u'$') return kCode;
  const std::u16string_view tag(p, static_cast<size_t>(q + 1 - p));
  const std::u16string_view rest(q + 1, static_cast<size_t>(end - q - 1));
  const size_t at = rest.find(tag);
  if (at == std::u16string_view::npos) {
    open_ = TextOpen::kDollarString;
    opened_at_ = p;
    dollar_tag_.assign(tag);
    p = end;
  } else {
    p = q + 1 + at + tag.size();
  }
  return kString;
}

SqlScanner::Lexeme SqlScanner::Open(const char16_t* part, const char16_t*& p,
                                           const char16_t* end) {
  switch (*p) {
    case u'-':
      if (p + 1 == end || p[1] != u'-') return kCode;
      p = LineComment(p, end);
      return kComment;
    case u'/':
      if (p + 1 == end || p[1] != u'*') return kCode;
      p = BlockComment(p, end);
      return kComment;
    case u'\'':
      p = String(part, p, end);
      return kString;
    case u'$':
      return rules_.dollar_quotes ? OpenDollarString(part, p, end) : kCode;
    case u'[':
      if (!rules_.bracket_names) return kCode;
      break;
    case u'`':
      if (!rules_.backquote_names) return kCode;
      break;
    case u'"':
      break;
    default:
      return kCode;
  }
  p = Name(p, end);
  return kName;
}

SqlScanner::Lexeme SqlScanner::Resume(const char16_t*& p, const char16_t* end) {
  if (in_line_comment_) {
    p = scan_detail::FindEither(p, end, u'\r', u'\n');
    in_line_comment_ = p == end;
    return kComment;
  }
  const char16_t* close = nullptr;
  Lexeme lexeme = kName;
  switch (open_) {
    case TextOpen::kNothing:
      return kCode;
    case TextOpen::kBlockComment:
      p = BlockCommentEnd(p, end);
      if (comment_depth_ == 0) open_ = TextOpen::kNothing;
      return kComment;
    case TextOpen::kString:
      lexeme = kString;
      close = string_backslashes_ ? BackslashStringEnd(p, end) : QuotedEnd(p, end, u'\'', true);
      break;
    case TextOpen::kDollarString:
      lexeme = kString;
      close = DollarStringEnd(p, end);
      break;
    case TextOpen::kBracketName:
      close = QuotedEnd(p, end, u']', rules_.bracket_doubles);
      break;
    case TextOpen::kQuotedName:
      close = QuotedEnd(p, end, u'"', true);
      break;
    case TextOpen::kBackquoteName:
      close = QuotedEnd(p, end, u'`', true);
      break;
  }
  if (close == nullptr) {
    p = end;
  } else {
    open_ = TextOpen::kNothing;
    p = close;
  }
  return lexeme;
}

const char16_t* SqlScanner::EscapedString(const char16_t* part, const char16_t* p,
                                         const char16_t* end) {
  bool backslashes = rules_.backslash_strings;
  if (rules_.escape_strings) {
    // E'...' takes backslash escapes; bit strings and U&'...' never do.
    const char16_t* start = StringStart(part, p);
    const char16_t prefix = start == p ? u'\0' : *start | 0x20;
    if (prefix == u'e') {
      backslashes = true;
    } else if (prefix == u'b' || prefix == u'x' || prefix == u'u') {
      backslashes = false;
    }
  }
  const char16_t* close =
      backslashes ? BackslashStringEnd(p + 1, end) : QuotedEnd(p + 1, end, u'\'', true);
  if (close != nullptr) return close;
  LeaveStringOpen(part, p, backslashes);
  return end;
}

void SqlScanner::LeaveStringOpen(const char16_t* part, const char16_t* quote, bool backslashes) {
  open_ = TextOpen::kString;
  opened_at_ = StringStart(part, quote);
  string_backslashes_ = backslashes;
}

SqlScanner::SqlScanner(const LexicalRules& rules) : rules_(rules) {
  for (char16_t c : std::u16string_view(u"-/'\"")) opens_[c] = true;
  opens_[u'['] = rules.bracket_names;
  opens_[u'`'] = rules.backquote_names;
  opens_[u'$'] = rules.dollar_quotes;
}

void SqlScanner::Follow(std::u16string_view part) {
  const char16_t* const end = part.data() + part.size();
  const char16_t* resumed = part.data();
  Resume(resumed, end);
  // Open's steps, called directly: this loop is the run's cost per call.
  const bool* const opens = opens_.data();
  for (const char16_t* p = resumed; p < end;) {
    while (p < end && (*p >= 128 || !opens[*p])) ++p;
    if (p == end) break;
    switch (*p) {
      case u'-':
        if (p + 1 < end && p[1] == u'-') {
          p = LineComment(p, end);
          continue;
        }
        break;
      case u'/':
        if (p + 1 < end && p[1] == u'*') {
          p = BlockComment(p, end);
          continue;
        }
        break;
      case u'\'':
        p = String(part.data(), p, end);
        continue;
      case u'$': {
        const char16_t* q = p;  // p itself stays in a register
        if (OpenDollarString(part.data(), q, end) != kCode) {
          p = q;
          continue;
        }
        break;
      }
      default:  // '"', and '[' or '`' where the rules make them open a name
        p = Name(p, end);
        continue;
    }
    ++p;
  }
}

}  // namespace corvalen
