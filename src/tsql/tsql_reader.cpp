#include "tsql/tsql_reader.h"

#include <array>

namespace corvalen {
namespace tsql_detail {

// The class of each ASCII character.
const uint8_t kClassOf[128] = {
#define B kBlankChar
#define R kBreakChar
#define W kWordChar
#define O kOtherChar
    // 0x00 - 0x1F: tab and vertical tab and form feed are blanks; CR, LF break lines.
    O, O, O, O, O, O, O, O, O, B, R, B, B, R, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O, O,
    // ' ' ! " # $ % & ' ( ) * + , - . /
    B, O, kDoubleQuoteChar, W, kDollarChar, O, O, kQuoteChar, O, O, O, O, O, kDashChar, O,
    kSlashChar,
    // 0-9 : ; < = > ?
    W, W, W, W, W, W, W, W, W, W, O, O, O, O, O, O,
    // @ A-Z [ \ ] ^ _
    W, W, W, W, W, W, W, W, W, W, W, W, W, W, kLetterNChar, W, W, W, W, W, W, W, W, W, W, W, W,
    kBracketChar, O, O, O, W,
    // ` a-z { | } ~ DEL
    O, W, W, W, W, W, W, W, W, W, W, W, W, W, kLetterNChar, W, W, W, W, W, W, W, W, W, W, W, W,
    O, O, O, O, O,
#undef B
#undef R
#undef W
#undef O
};

// Letters, digits, '_', '@', '#', '$': what a word is made of.
const bool kWordCharOf[128] = {
#define F false
#define T true
    F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F,
    // ' ' ! " # $ % & ' ( ) * + , - . /
    F, F, F, T, T, F, F, F, F, F, F, F, F, F, F, F,
    // 0-9 : ; < = > ?
    T, T, T, T, T, T, T, T, T, T, F, F, F, F, F, F,
    // @ A-Z [ \ ] ^ _
    T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, F, F, F, F, T,
    // ` a-z { | } ~ DEL
    F, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, T, F, F, F, F, F,
#undef F
#undef T
};

}  // namespace tsql_detail

void TsqlReader::Follow(std::u16string_view part) {
  using namespace tsql_detail;
  const char16_t* p = part.data();
  const char16_t* const end = p + part.size();
  // What the previous part left open.
  if (in_line_comment_) {
    p = FindEither(p, end, u'\r', u'\n');
    in_line_comment_ = p == end;
  } else if (open_ == TsqlOpen::kBlockComment) {
    p = BlockCommentEnd(p, end, &comment_depth_);
    if (comment_depth_ == 0) open_ = TsqlOpen::kNothing;
  } else if (open_ != TsqlOpen::kNothing) {
    const char16_t* close = QuotedEnd(p, end, CloserOf(open_));
    if (close == nullptr) return;
    open_ = TsqlOpen::kNothing;
    p = close;
  }
  // The characters that may open a comment, a string or a name.
  static constexpr auto kOpens = [] {
    std::array<bool, 128> opens{};
    for (char16_t c : u"-/'\"[") opens[c] = true;
    opens[0] = false;
    return opens;
  }();
  while (p < end) {
    while (p < end && (*p >= 128 || !kOpens[*p])) ++p;
    if (p == end) break;
    const char16_t c = *p;
    switch (ClassOf(c)) {
      case kDashChar:
        if (p + 1 < end && p[1] == u'-') {
          p = FindEither(p + 2, end, u'\r', u'\n');
          in_line_comment_ = p == end;
          continue;
        }
        break;
      case kSlashChar:
        if (p + 1 < end && p[1] == u'*') {
          const char16_t* start = p;
          comment_depth_ = 1;
          p = BlockCommentEnd(p + 2, end, &comment_depth_);
          if (comment_depth_ > 0) {
            open_ = TsqlOpen::kBlockComment;
            opened_at_ = start;
          }
          continue;
        }
        break;
      case kQuoteChar:
      case kDoubleQuoteChar:
      case kBracketChar: {
        const TsqlOpen what = OpenedBy(c);
        const char16_t* close = QuotedEnd(p + 1, end, CloserOf(what));
        if (close == nullptr) {
          open_ = what;
          // N'…' opens at its N, as Read has it.
          const bool national = what == TsqlOpen::kString && p > part.data() &&
                                (p[-1] == u'N' || p[-1] == u'n') &&
                                (p - 1 == part.data() || !IsWordChar(p[-2]));
          opened_at_ = national ? p - 1 : p;
          return;
        }
        p = close;
        continue;
      }
      default:
        break;
    }
    ++p;
  }
}

}  // namespace corvalen
