// The inner loop of TsqlReader::Read, inline so that the visitor's calls are.
#ifndef CORVALEN_TSQL_TSQL_READER_INL_H_
#define CORVALEN_TSQL_TSQL_READER_INL_H_

#include <cstring>

namespace corvalen {
namespace tsql_detail {

enum CharClass : uint8_t {
  kBlankChar, kBreakChar, kWordChar, kQuoteChar, kDoubleQuoteChar, kBracketChar, kDashChar,
  kSlashChar, kDollarChar, kLetterNChar, kBackquoteChar, kOtherChar
};

extern const uint8_t kClassOf[128];
extern const bool kWordCharOf[128];

inline uint8_t ClassOf(char16_t c) { return c < 128 ? kClassOf[c] : uint8_t{kWordChar}; }

inline bool IsWordChar(char16_t c) { return c >= 128 || kWordCharOf[c]; }

using scan_detail::FindEither;

}  // namespace tsql_detail

template <class Visitor>
void TsqlReader::Read(std::u16string_view part, Visitor& visitor) {
  using namespace tsql_detail;
  const char16_t* const begin = part.data();
  const char16_t* const end = begin + part.size();
  TsqlToken token{};
  // What the previous part left open. (The scanner's calls that move a
  // position get a copy: the loop's own stays in a register.)
  const char16_t* resumed = begin;
  const SqlScanner::Lexeme lexeme = scanner_.Resume(resumed, end);
  if (lexeme == SqlScanner::kComment) {
    if (resumed > begin) visitor.Comment(begin, resumed);
  } else if (lexeme != SqlScanner::kCode) {
    if (scanner_.open() != TsqlOpen::kNothing) return;
    Classify(lexeme == SqlScanner::kString ? TsqlToken::kString : TsqlToken::kName, begin,
             static_cast<size_t>(resumed - begin), &token);
    visitor.Token(token);
  }
  const char16_t* p = resumed;
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
          p = scanner_.LineComment(p, end);
          visitor.Comment(start, p);
          continue;
        }
        ++p;
        kind = TsqlToken::kSymbol;
        break;
      case kSlashChar:
        if (p + 1 < end && p[1] == u'*') {
          p = scanner_.BlockComment(p, end);
          visitor.Comment(start, p);
          continue;
        }
        ++p;
        kind = TsqlToken::kSymbol;
        break;
      case kQuoteChar:
        p = scanner_.String(part.data(), p, end);
        if (p == end && scanner_.open() != TsqlOpen::kNothing) return;
        kind = TsqlToken::kString;
        break;
      case kBracketChar:
      case kBackquoteChar:
        if (!scanner_.MayOpen(c)) {
          ++p;
          kind = TsqlToken::kSymbol;
          break;
        }
        [[fallthrough]];
      case kDoubleQuoteChar:
        p = scanner_.Name(p, end);
        if (p == end && scanner_.open() != TsqlOpen::kNothing) return;
        kind = TsqlToken::kName;
        break;
      case kLetterNChar:
        if (p + 1 < end && p[1] == u'\'') {
          // N'...': a Unicode string literal (N starts the word here).
          p = scanner_.String(part.data(), p + 1, end);
          if (p == end && scanner_.open() != TsqlOpen::kNothing) return;
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
        if (scanner_.MayOpen(c)) {
          // PostgreSQL's $$...$$ and $tag$...$tag$.
          const char16_t* q = p;
          if (scanner_.Open(part.data(), q, end) == SqlScanner::kString) {
            if (scanner_.open() != TsqlOpen::kNothing) return;
            p = q;
            kind = TsqlToken::kString;
            break;
          }
        }
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
