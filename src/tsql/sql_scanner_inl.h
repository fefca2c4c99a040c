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

inline const char16_t* SqlScanner::String(const char16_t* part, const char16_t* p,
                                          const char16_t* end) {
  if (rules_.escape_strings || rules_.backslash_strings) return EscapedString(part, p, end);
  const char16_t* close = QuotedEnd(p + 1, end, u'\'', true);
  if (close != nullptr) return close;
  LeaveStringOpen(part, p, false);
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

}  // namespace corvalen

#endif  // CORVALEN_TSQL_SQL_SCANNER_INL_H_
