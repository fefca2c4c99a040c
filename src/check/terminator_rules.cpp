#include "check/terminator_rules.h"

namespace corvalen {
namespace {

// What a statement may follow without ';' between: the heads of blocks and
// conditions, END, a label (or a procedure called without EXEC).
bool HeadsABlock(TsqlWord verb) {
  switch (verb) {
    case TsqlWord::kBegin: case TsqlWord::kElse: case TsqlWord::kEnd: case TsqlWord::kIf:
    case TsqlWord::kWhile: case TsqlWord::kOther:
      return true;
    default:
      return false;
  }
}

}  // namespace

void TerminatorRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner()) return;
  if (s.index == 0) {
    cte_ = Cte::kNone;
    merge_using_ = false;
    previous_for_ = false;
    if (s.verb == TsqlWord::kThrow && s.after_unended && !HeadsABlock(s.previous_verb)) {
      reporter_.Always(s.at, FindingLevel::kError,
                       u"THROW sin ; en la instrucción anterior: SQL Server lo lee como parte "
                       u"de ella (SELECT x THROW le da un alias y el error se pierde) o rechaza "
                       u"la llamada; ponga ; antes de THROW");
    }
    return;
  }
  if (s.verb == TsqlWord::kMerge && t.paren == s.paren && IsWord(t, u"using")) merge_using_ = true;
  const bool after_for = previous_for_;
  previous_for_ = t.word == TsqlWord::kFor;
  if (cte_ != Cte::kNone) return Follow(t);
  // A WITH that does not start a statement, where the statement before
  // could be complete: IF and WHILE are still reading their condition, and
  // a cursor's FOR takes a query with its CTE.
  if (t.word == TsqlWord::kWith && t.paren == s.paren && s.verb != TsqlWord::kIf &&
      s.verb != TsqlWord::kWhile && !after_for) {
    cte_ = Cte::kWith;
    with_at_ = reporter_.Pos(t.text.data());
  }
}

void TerminatorRules::Follow(const TsqlToken& t) {
  const Cte step = cte_;
  cte_ = Cte::kNone;
  switch (step) {
    case Cte::kWith:
      if (IsWord(t, u"xmlnamespaces") || IsWord(t, u"change_tracking_context")) {
        cte_ = Cte::kNamespaces;
      } else if (IsNamePart(t)) {
        cte_ = Cte::kName;
      }
      return;
    case Cte::kName:
      if (IsSymbol(t, u'(')) {
        cte_ = Cte::kColumns;
        columns_paren_ = t.paren;
      } else if (IsWord(t, u"as")) {
        cte_ = Cte::kAs;
      }
      return;
    case Cte::kColumns:
      // The column list closes back at the level its '(' opened.
      if (IsSymbol(t, u')') && t.paren == columns_paren_ + 1) {
        cte_ = Cte::kName;
      } else {
        cte_ = Cte::kColumns;
      }
      return;
    case Cte::kAs: case Cte::kNamespaces:
      if (!IsSymbol(t, u'(')) return;
      break;
    default:
      return;
  }
  reporter_.Always(with_at_, FindingLevel::kError,
                   u"WITH de una expresión de tabla común sin ; en la instrucción anterior: SQL "
                   u"Server rechaza la llamada entera (Msg 319); ponga ; antes de WITH");
}

void TerminatorRules::EndStatement(const StatementInfo& s) {
  if (reporter_.inner() || s.verb != TsqlWord::kMerge || !merge_using_ || s.semicolon) return;
  reporter_.Always(s.at, FindingLevel::kError,
                   u"MERGE sin ; al final: SQL Server exige terminarlo en punto y coma y rechaza "
                   u"la llamada entera (Msg 10713)");
}

}  // namespace corvalen
