#include "tsql/tsql_reader.h"

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
    kBackquoteChar, W, W, W, W, W, W, W, W, W, W, W, W, W, kLetterNChar, W, W, W, W, W, W, W, W, W, W, W, W,
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

bool IsSymbol(const TsqlToken& t, char16_t c) {
  return t.kind == TsqlToken::kSymbol && t.text[0] == c;
}

bool IsWord(const TsqlToken& t, std::u16string_view lower) {
  if (t.kind != TsqlToken::kWord || t.text.size() != lower.size()) return false;
  for (size_t k = 0; k < lower.size(); ++k) {
    const char16_t c = t.text[k];
    if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != lower[k]) return false;
  }
  return true;
}

void AppendLiteralText(std::u16string_view literal, std::u16string* out) {
  if (!literal.empty() && (literal[0] == u'N' || literal[0] == u'n')) literal.remove_prefix(1);
  literal = literal.substr(1, literal.size() >= 2 ? literal.size() - 2 : 0);
  for (size_t k = 0; k < literal.size(); ++k) {
    *out += literal[k];
    if (literal[k] == u'\'' && k + 1 < literal.size() && literal[k + 1] == u'\'') ++k;
  }
}

}  // namespace corvalen
