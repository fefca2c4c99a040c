#include "check/transaction_rules.h"

namespace corvalen {
namespace {

// A whole number of the text, or -1.
int32_t NumberOf(std::u16string_view text) {
  if (text.empty() || text.size() > 9) return -1;
  int32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return -1;
    n = n * 10 + (c - u'0');
  }
  return n;
}

}  // namespace

bool TransactionRules::Wants(const StatementInfo& s) {
  switch (s.verb) {
    case TsqlWord::kBegin: case TsqlWord::kEnd: case TsqlWord::kCommit: case TsqlWord::kRollback:
    case TsqlWord::kSave: case TsqlWord::kThrow: case TsqlWord::kRaiserror:
      return true;
    default:
      return false;  // a CATCH block opens and closes at BEGIN and END
  }
}

void TransactionRules::Catches(const TsqlToken& t) {
  if (t.catches > 0 && !in_catch_) {
    in_catch_ = true;
    reraised_ = false;
    catch_at_ = reporter_.Pos(t.text.data());
  } else if (t.catches == 0 && in_catch_) {
    CatchEnds();
  }
}

void TransactionRules::CatchEnds() {
  in_catch_ = false;
  if (!reraised_) {
    reporter_.Error(catch_at_,
                    u"el bloque CATCH se traga el error: la ejecución no se entera del fallo y "
                    u"confirma lo que haya quedado; vuelva a lanzarlo con THROW");
  }
}

void TransactionRules::Token(const TsqlToken& t, const StatementInfo& s) {
  Catches(t);
  if (s.index == 0) {
    tran_word_ = false;
    to_savepoint_ = false;
    raise_commas_ = 0;
    switch (s.verb) {
      case TsqlWord::kCommit:
        if (own_count_ == 0) {
          reporter_.Error(s.at, u"COMMIT confirma la transacción del script: lo anterior queda "
                                u"aplicado aunque algo falle después");
        } else if (!s.error_only) {
          --own_count_;
        }
        break;
      case TsqlWord::kThrow:
        reraised_ = true;
        break;
      default:
        break;
    }
    return;
  }
  switch (s.verb) {
    case TsqlWord::kBegin:
      if (s.index == 1 && !s.error_only &&
          (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction ||
           t.word == TsqlWord::kDistributed)) {
        if (own_count_++ == 0) first_open_at_ = s.at;
      }
      break;
    case TsqlWord::kRollback: case TsqlWord::kSave:
      if (s.index == 1 && (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction)) {
        tran_word_ = true;
      } else if (s.index == 2 && tran_word_ && (IsNamePart(t) || t.kind == TsqlToken::kVariable)) {
        KeyOf(t.text, &key_);
        if (s.verb == TsqlWord::kSave) {
          if (savepoints_.size() < kMaxNamesFollowed) savepoints_.insert(key_);
        } else {
          to_savepoint_ = savepoints_.count(key_) > 0;
        }
      }
      break;
    case TsqlWord::kRaiserror:
      // RAISERROR (text, severity, state): severity 11 or more reaches the run.
      if (IsSymbol(t, u',') && t.paren <= s.paren + 1) {
        ++raise_commas_;
      } else if (raise_commas_ == 1) {
        const int32_t severity = NumberOf(t.text);
        if (severity < 0 || severity >= 11) reraised_ = true;
        raise_commas_ = 2;
      }
      break;
    default:
      break;
  }
}

void TransactionRules::EndStatement(const StatementInfo& s) {
  if (s.verb != TsqlWord::kRollback || to_savepoint_) return;
  if (s.error_only) return;  // on the way to a failure the run undoes anyway
  reporter_.Error(s.at, u"ROLLBACK deshace la transacción del script entera y la termina: lo que "
                        u"sigue se aplica sin transacción");
  own_count_ = 0;
}

void TransactionRules::EndCall() {
  if (in_catch_) CatchEnds();
}

void TransactionRules::EndScript() {
  if (own_count_ > 0) {
    reporter_.Error(first_open_at_,
                    u"BEGIN TRAN sin su COMMIT: el script deja abierta una transacción propia; la "
                    u"ejecución lo da por fallido y lo deshace entero");
  }
}

}  // namespace corvalen
