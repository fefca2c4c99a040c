// SqlScanner's steps, inline so that a reader's token loop keeps its speed.
#ifndef CORVALEN_TSQL_SQL_SCANNER_INL_H_
#define CORVALEN_TSQL_SQL_SCANNER_INL_H_

#include <cstring>

namespace corvalen {
namespace scan_detail {

// The first position in [p, end) that holds `a` or `b`, or `end`; eight code
// units at a time with the vector extensions of GCC and Clang.
inline const char16_t* FindEither(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
  using Lanes = uint16_t __attribute__((vector_size(16)));
  using LaneMask = int16_t __attribute__((vector_size(16)));
  while (end - p >= 8) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    const LaneMask m = (v == a) | (v == b);
    uint64_t w[2];
    std::memcpy(w, &m, sizeof w);
    if ((w[0] | w[1]) != 0) break;
    p += 8;
  }
  while (p < end && *p != a && *p != b) ++p;
  return p;
}

inline bool IsLetter(char16_t c) { return (c | 0x20) >= u'a' && (c | 0x20) <= u'z'; }

// What a word (a name, a keyword, a variable) is made of, in any database:
// a string's one-letter prefix must stand alone, and a $ inside a word opens
// nothing.
inline bool IsWordChar(char16_t c) {
  return c >= 128 || IsLetter(c) || (c >= u'0' && c <= u'9') || c == u'_' || c == u'$' ||
         c == u'@' || c == u'#';
}

// What a dollar quote's tag is made of (PostgreSQL: no digit first, no $).
inline bool IsTagStart(char16_t c) { return c >= 128 || IsLetter(c) || c == u'_'; }
inline bool IsTagChar(char16_t c) { return IsTagStart(c) || (c >= u'0' && c <= u'9'); }

}  // namespace scan_detail

inline const char16_t* SqlScanner::BlockCommentEnd(const char16_t* p, const char16_t* end) {
  while (p < end) {
    p = scan_detail::FindEither(p, end, u'*', u'/');
    if (p == end) break;
    const char16_t c = *p++;
    if (c == u'*') {
      if (p < end && *p == u'/') {
        ++p;
        if (--comment_depth_ == 0) return p;
      }
    } else if (p < end && *p == u'*') {
      if (rules_.nested_comments) {
        ++p;
        ++comment_depth_;
      } else if (nested_opener_at_ == nullptr) {
        // Its '*' may still close the comment, as "*/".
        nested_opener_at_ = p - 1;
      }
    }
  }
  return end;
}

// Inside a run quoted by `close` (doubled inside for itself when `doubles`):
// the position past the closing character, or null when `end` comes first.
inline const char16_t* SqlScanner::QuotedEnd(const char16_t* p, const char16_t* end,
                                             char16_t close, bool doubles) {
  for (;;) {
    p = scan_detail::FindEither(p, end, close, close);
    if (p == end) return nullptr;
    ++p;
    if (!doubles || p == end || *p != close) return p;
    ++p;
  }
}

// Inside a string where a backslash escapes the next character and '' is a
// quote: past its closing quote, or null when `end` comes first.
inline const char16_t* SqlScanner::BackslashStringEnd(const char16_t* p, const char16_t* end) {
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
inline const char16_t* SqlScanner::DollarStringEnd(const char16_t* p, const char16_t* end) {
  const std::u16string_view rest(p, static_cast<size_t>(end - p));
  const size_t at = rest.find(dollar_tag_);
  return at == std::u16string_view::npos ? nullptr : p + at + dollar_tag_.size();
}

// Where the string whose quote is at `quote` starts: at its one-letter
// prefix (N'...', and on PostgreSQL E'...', B'...', X'...', U&'...') when
// that stands alone, not at the end of a longer word.
inline const char16_t* SqlScanner::StringStart(const char16_t* part,
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

inline const char16_t* SqlScanner::String(const char16_t* part, const char16_t* p,
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
  open_ = TextOpen::kString;
  opened_at_ = StringStart(part, p);
  string_backslashes_ = backslashes;
  return end;
}

inline const char16_t* SqlScanner::Name(const char16_t* p, const char16_t* end) {
  const char16_t c = *p;
  const char16_t* close = c == u'[' ? QuotedEnd(p + 1, end, u']', rules_.bracket_doubles)
                                    : QuotedEnd(p + 1, end, c, true);
  if (close != nullptr) return close;
  open_ = c == u'[' ? TextOpen::kBracketName
          : c == u'"' ? TextOpen::kQuotedName
                      : TextOpen::kBackquoteName;
  opened_at_ = p;
  return end;
}

inline const char16_t* SqlScanner::LineComment(const char16_t* p, const char16_t* end) {
  p = scan_detail::FindEither(p + 2, end, u'\r', u'\n');
  in_line_comment_ = p == end;
  return p;
}

inline const char16_t* SqlScanner::BlockComment(const char16_t* p, const char16_t* end) {
  const char16_t* const start = p;
  comment_depth_ = 1;
  p = BlockCommentEnd(p + 2, end);
  if (comment_depth_ > 0) {
    open_ = TextOpen::kBlockComment;
    opened_at_ = start;
  }
  return p;
}

inline SqlScanner::Lexeme SqlScanner::OpenDollarString(const char16_t* part, const char16_t*& p,
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

inline SqlScanner::Lexeme SqlScanner::Open(const char16_t* part, const char16_t*& p,
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

inline SqlScanner::Lexeme SqlScanner::Resume(const char16_t*& p, const char16_t* end) {
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

}  // namespace corvalen

#endif  // CORVALEN_TSQL_SQL_SCANNER_INL_H_
