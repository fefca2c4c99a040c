#include "check/routine_body_rules.h"

namespace corvalen {

void RoutineBodyRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner() || s.index == 0) return;
  if (s.index > 3) return;  // CREATE [OR ALTER] kind
  if (t.word == TsqlWord::kProc || t.word == TsqlWord::kProcedure) {
    kind_ = u"PROCEDURE";
  } else if (t.word == TsqlWord::kTrigger) {
    kind_ = u"TRIGGER";
  } else if (t.word == TsqlWord::kFunction) {
    kind_ = u"FUNCTION";
  } else {
    return;
  }
  phase_ = Phase::kHeader;
  paren_ = 0;
  after_variable_ = after_execute_ = false;
  pending_begin_ = pending_end_ = false;
}

void RoutineBodyRules::BodyToken(const TsqlToken& t) {
  switch (phase_) {
    case Phase::kHeader:
      // The AS that ends the header: not a parameter's (`@p AS int`), not
      // EXECUTE AS, not inside parentheses.
      if (IsSymbol(t, u'(')) ++paren_;
      if (IsSymbol(t, u')') && paren_ > 0) --paren_;
      if (paren_ == 0 && IsWord(t, u"as") && !after_variable_ && !after_execute_) {
        phase_ = Phase::kAfterAs;
      }
      after_variable_ = t.kind == TsqlToken::kVariable;
      after_execute_ = IsWord(t, u"execute") || IsWord(t, u"exec");
      return;
    case Phase::kAfterAs:
      if (pending_begin_) {
        pending_begin_ = false;
        if (IsWord(t, u"try") || IsWord(t, u"tran") || IsWord(t, u"transaction") ||
            IsWord(t, u"distributed") || IsWord(t, u"dialog") || IsWord(t, u"conversation")) {
          phase_ = Phase::kNone;
          return;
        }
        phase_ = Phase::kBody;
        depth_ = 1;
        pending_end_ = false;
        return Block(t);
      }
      if (IsWord(t, u"begin")) {
        pending_begin_ = true;
        begin_at_ = reporter_.Pos(t.text.data());
      } else {
        phase_ = Phase::kNone;
      }
      return;
    case Phase::kBody:
      return Block(t);
    case Phase::kAfterEnd:
      if (IsSymbol(t, u';')) return;
      phase_ = Phase::kNone;
      reporter_.Error(reporter_.Pos(t.text.data()),
                      u"esto sigue al END que cierra el cuerpo de " + std::u16string(kind_) +
                          u" (BEGIN en la línea {línea}) y forma parte de él: no se ejecuta "
                          u"ahora sino en cada llamada (en una función, SQL Server lo rechaza); "
                          u"falta un GO antes",
                      begin_at_);
      return;
    default:
      return;
  }
}

void RoutineBodyRules::Block(const TsqlToken& t) {
  if (pending_begin_) {
    pending_begin_ = false;
    if (!(IsWord(t, u"tran") || IsWord(t, u"transaction") || IsWord(t, u"distributed") ||
          IsWord(t, u"dialog") || IsWord(t, u"conversation"))) {
      ++depth_;
    }
  } else if (pending_end_) {
    pending_end_ = false;
    if (!IsWord(t, u"conversation") && --depth_ == 0) {
      phase_ = Phase::kAfterEnd;
      // END TRY / END CATCH close with their word; anything else follows.
      if (IsWord(t, u"try") || IsWord(t, u"catch")) return;
      return BodyToken(t);
    }
  }
  if (t.kind != TsqlToken::kWord) return;
  if (IsWord(t, u"begin")) {
    pending_begin_ = true;
  } else if (IsWord(t, u"case")) {
    ++depth_;
  } else if (IsWord(t, u"end")) {
    pending_end_ = true;
  }
}

}  // namespace corvalen
