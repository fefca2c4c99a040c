// The inner loop of TsqlReader::Read, inline so that the visitor's calls are.
#ifndef CORVALEN_TSQL_TSQL_READER_INL_H_
#define CORVALEN_TSQL_TSQL_READER_INL_H_

#include <cstring>

namespace corvalen {
namespace tsql_detail {

enum CharClass : uint8_t {
  kBlankChar, kBreakChar, kWordChar, kQuoteChar, kDoubleQuoteChar, kBracketChar, kDashChar,
  kSlashChar, kDollarChar, kLetterNChar, kOtherChar
};

extern const uint8_t kClassOf[128];
extern const bool kWordCharOf[128];

inline uint8_t ClassOf(char16_t c) { return c < 128 ? kClassOf[c] : uint8_t{kWordChar}; }

inline bool IsWordChar(char16_t c) { return c >= 128 || kWordCharOf[c]; }

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

// After the `/*` or inside a comment `depth` deep: the position past the
// comment's closing `*/`, or `end` (with `*depth` still open).
inline const char16_t* BlockCommentEnd(const char16_t* p, const char16_t* end, int32_t* depth) {
  while (p < end) {
    p = FindEither(p, end, u'*', u'/');
    if (p == end) break;
    const char16_t c = *p++;
    if (c == u'*') {
      if (p < end && *p == u'/') {
        ++p;
        if (--*depth == 0) return p;
      }
    } else if (c == u'/' && p < end && *p == u'*') {
      ++p;
      ++*depth;
    }
  }
  return end;
}

// Inside a run quoted by `close` (doubled inside for itself): the position
// past the closing character, or null when `end` comes first.
inline const char16_t* QuotedEnd(const char16_t* p, const char16_t* end, char16_t close) {
  for (;;) {
    p = FindEither(p, end, close, close);
    if (p == end) return nullptr;
    ++p;
    if (p == end || *p != close) return p;
    ++p;
  }
}

// What a quote, double quote or opening bracket opens.
inline TsqlOpen OpenedBy(char16_t c) {
  return c == u'\'' ? TsqlOpen::kString
         : c == u'[' ? TsqlOpen::kBracketName
                     : TsqlOpen::kQuotedName;
}

inline char16_t CloserOf(TsqlOpen open) {
  return open == TsqlOpen::kString ? u'\'' : open == TsqlOpen::kBracketName ? u']' : u'"';
}

}  // namespace tsql_detail

template <class Visitor>
void TsqlReader::Read(std::u16string_view part, Visitor& visitor) {
  using namespace tsql_detail;
  const char16_t* p = part.data();
  const char16_t* const end = p + part.size();
  TsqlToken token{};
  // What the previous part left open.
  if (in_line_comment_) {
    const char16_t* begin = p;
    p = FindEither(p, end, u'\r', u'\n');
    if (p > begin) visitor.Comment(begin, p);
    in_line_comment_ = p == end;
  } else if (open_ == TsqlOpen::kBlockComment) {
    const char16_t* begin = p;
    p = BlockCommentEnd(p, end, &comment_depth_);
    if (p > begin) visitor.Comment(begin, p);
    if (comment_depth_ == 0) open_ = TsqlOpen::kNothing;
  } else if (open_ != TsqlOpen::kNothing) {
    const char16_t* close = QuotedEnd(p, end, CloserOf(open_));
    if (close == nullptr) return;
    const TsqlToken::Kind kind = open_ == TsqlOpen::kString ? TsqlToken::kString : TsqlToken::kName;
    open_ = TsqlOpen::kNothing;
    Classify(kind, p, static_cast<size_t>(close - p), &token);
    visitor.Token(token);
    p = close;
  }
  while (p < end) {
    const char16_t c = *p;
    const char16_t* const start = p;
    TsqlToken::Kind kind;
    switch (ClassOf(c)) {
      case kBlankChar:
        ++p;
        while (p < end && (*p == u' ' || *p == u'\t')) ++p;
        continue;
      case kBreakChar:
        line_start_ = true;
        ++p;
        continue;
      case kDashChar:
        if (p + 1 < end && p[1] == u'-') {
          p = FindEither(p + 2, end, u'\r', u'\n');
          visitor.Comment(start, p);
          in_line_comment_ = p == end;
          continue;
        }
        ++p;
        kind = TsqlToken::kSymbol;
        break;
      case kSlashChar:
        if (p + 1 < end && p[1] == u'*') {
          comment_depth_ = 1;
          p = BlockCommentEnd(p + 2, end, &comment_depth_);
          visitor.Comment(start, p);
          if (comment_depth_ > 0) {
            open_ = TsqlOpen::kBlockComment;
            opened_at_ = start;
          }
          continue;
        }
        ++p;
        kind = TsqlToken::kSymbol;
        break;
      case kLetterNChar:
        if (p + 1 < end && p[1] == u'\'') {
          // N'...': a Unicode string literal, unless N ends a longer word.
          const char16_t* close = QuotedEnd(p + 2, end, u'\'');
          if (close == nullptr) {
            open_ = TsqlOpen::kString;
            opened_at_ = start;
            return;
          }
          p = close;
          kind = TsqlToken::kString;
          break;
        }
        [[fallthrough]];
      case kWordChar:
        ++p;
        while (p < end && IsWordChar(*p)) ++p;
        kind = c == u'@' && (p - start < 2 || start[1] != u'@') ? TsqlToken::kVariable
                                                                 : TsqlToken::kWord;
        break;
      case kDollarChar:
        if (p + 1 < end && p[1] == u'(') {
          const char16_t* q = p + 2;
          while (q < end && IsWordChar(*q)) ++q;
          if (q < end && *q == u')' && q > p + 2) {
            p = q + 1;
            kind = TsqlToken::kSqlcmdVariable;
            break;
          }
        }
        ++p;
        while (p < end && IsWordChar(*p)) ++p;
        kind = TsqlToken::kWord;
        break;
      case kQuoteChar:
      case kDoubleQuoteChar:
      case kBracketChar: {
        const TsqlOpen what = OpenedBy(c);
        const char16_t* close = QuotedEnd(p + 1, end, CloserOf(what));
        if (close == nullptr) {
          open_ = what;
          opened_at_ = start;
          return;
        }
        p = close;
        kind = what == TsqlOpen::kString ? TsqlToken::kString : TsqlToken::kName;
        break;
      }
      default:
        ++p;
        kind = TsqlToken::kSymbol;
        break;
    }
    if constexpr (requires(const Visitor& v) { v.Skim(); }) {
      if (visitor.Skim()) {
        Skimmed(kind, start, static_cast<size_t>(p - start), &token);
        visitor.Token(token);
        continue;
      }
    }
    Classify(kind, start, static_cast<size_t>(p - start), &token);
    visitor.Token(token);
  }
}

inline void TsqlReader::Skimmed(TsqlToken::Kind kind, const char16_t* text, size_t size,
                                TsqlToken* t) {
  const std::u16string_view word(text, size);
  t->kind = kind;
  t->text = word;
  t->line_start = line_start_;
  line_start_ = false;
  t->statement = false;
  t->word = size == 2 && (text[0] | 0x20) == u'g' && (text[1] | 0x20) == u'o'
                ? TsqlWord::kGo
                : TsqlWord::kOther;
}

}  // namespace corvalen

#endif  // CORVALEN_TSQL_TSQL_READER_INL_H_
