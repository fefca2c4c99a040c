#include "tsql/commit_balance.h"

#include <string>

#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

// Reads one call's tokens (TsqlReader's visitor), keeping the script's open
// BEGIN TRANs in `*open`.
class BalanceReader {
 public:
  BalanceReader(int32_t* open, bool in_loop) : open_(open), outer_loop_(in_loop) {}
  BalanceReader(const BalanceReader&) = delete;
  BalanceReader& operator=(const BalanceReader&) = delete;

  bool Skim() const { return routine_; }
  void Comment(const char16_t*, const char16_t*) {}

  void Token(const TsqlToken& t) {
    if (routine_) return;
    // A name heading the call, or where a statement must start, runs the
    // procedure it names (or is a label: told all the same).
    const bool name = t.kind == TsqlToken::kName ||
                      (t.kind == TsqlToken::kWord && t.word == TsqlWord::kOther);
    if (name && (t.statement || (first_token_ && !outer_loop_))) hidden_ = true;
    first_token_ = false;
    if (t.statement) {
      Finish();
      TrackLoop(t);
      Statement(t);
    } else {
      Follow(t);
    }
  }

  // The call's end: what a pending statement leaves undecided.
  void Finish() {
    if (next_ == Next::kRollback || next_ == Next::kRollbackTran) *open_ = 0;
    if (next_ == Next::kExecParen) ReadExecText();
    if (next_ == Next::kExecSql) hidden_ = true;
    next_ = Next::kNone;
  }

  bool unbalanced() const { return unbalanced_; }
  bool hidden() const { return hidden_; }

 private:
  enum class Next { kNone, kBegin, kRollback, kRollbackTran, kCreate, kExec, kExecParen, kExecSql };
  enum class Loop { kNone, kCondition, kBody };

  // A WHILE's body: its first statement, and those that an IF, ELSE or
  // WHILE before them at the loop's depth binds to it; a BEGIN block to its
  // END.
  void TrackLoop(const TsqlToken& t) {
    if (loop_ == Loop::kCondition) {
      loop_ = Loop::kBody;
      bound_ = t.word;
    } else if (loop_ == Loop::kBody && t.depth <= loop_depth_) {
      const bool binds = t.word == TsqlWord::kElse || bound_ == TsqlWord::kIf ||
                         bound_ == TsqlWord::kElse || bound_ == TsqlWord::kWhile;
      if (binds) {
        bound_ = t.word;
      } else {
        loop_ = Loop::kNone;
      }
    }
    if (loop_ == Loop::kNone && t.word == TsqlWord::kWhile) {
      loop_ = Loop::kCondition;
      loop_depth_ = t.depth;
    }
  }

  bool InLoop() const { return outer_loop_ || loop_ == Loop::kBody; }

  void Statement(const TsqlToken& t) {
    switch (t.word) {
      case TsqlWord::kBegin: next_ = Next::kBegin; break;
      case TsqlWord::kRollback: next_ = Next::kRollback; break;
      case TsqlWord::kCreate: case TsqlWord::kAlter: next_ = Next::kCreate; break;
      case TsqlWord::kExec: case TsqlWord::kExecute: next_ = Next::kExec; break;
      case TsqlWord::kCommit:
        if (InLoop() || *open_ <= 0) {
          unbalanced_ = true;
        } else {
          --*open_;
        }
        break;
      default: break;
    }
  }

  void Follow(const TsqlToken& t) {
    switch (next_) {
      case Next::kNone: return;
      case Next::kBegin:
        next_ = Next::kNone;
        if (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction ||
            t.word == TsqlWord::kDistributed) {
          ++*open_;
        }
        return;
      case Next::kRollback:
        if (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction ||
            t.word == TsqlWord::kWork) {
          next_ = Next::kRollbackTran;
          return;
        }
        [[fallthrough]];
      case Next::kRollbackTran:
        // A name is a savepoint's: the count stays. Anything else ends
        // every level.
        if (t.kind != TsqlToken::kWord && t.kind != TsqlToken::kName &&
            t.kind != TsqlToken::kVariable) {
          *open_ = 0;
        }
        next_ = Next::kNone;
        return;
      case Next::kCreate:
        if (t.word == TsqlWord::kOr || t.word == TsqlWord::kAlter) return;
        routine_ = t.word == TsqlWord::kProc || t.word == TsqlWord::kProcedure ||
                   t.word == TsqlWord::kFunction || t.word == TsqlWord::kTrigger ||
                   t.word == TsqlWord::kView;
        next_ = Next::kNone;
        return;
      case Next::kExec:
        if (IsSymbol(t, u'(')) {
          next_ = Next::kExecParen;
          exec_text_.clear();
        } else if (IsWord(t, u"sp_executesql")) {
          next_ = Next::kExecSql;
          exec_sql_variable_ = false;
          exec_text_.clear();
        } else if (!IsWord(t, u"sys") && !IsSymbol(t, u'.')) {
          // A procedure, or the text of a variable.
          hidden_ = true;
          next_ = Next::kNone;
        }
        return;
      case Next::kExecSql:
        // Its statement, named (@stmt = N'…') or not: a variable that no
        // '=' follows is the statement itself.
        if (t.kind == TsqlToken::kVariable || IsSymbol(t, u'=')) {
          exec_sql_variable_ = t.kind == TsqlToken::kVariable;
          return;
        }
        if (t.kind == TsqlToken::kString) {
          AppendLiteralText(t.text, &exec_text_);
          ReadExecText();
        } else {
          hidden_ = true;
        }
        hidden_ = hidden_ || exec_sql_variable_;
        next_ = Next::kNone;
        return;
      case Next::kExecParen:
        if (t.kind == TsqlToken::kString) {
          AppendLiteralText(t.text, &exec_text_);
        } else if (!IsSymbol(t, u'+')) {
          hidden_ = hidden_ || !IsSymbol(t, u')');
          ReadExecText();
          next_ = Next::kNone;
        }
        return;
    }
  }

  void ReadExecText() {
    const std::u16string code = std::move(exec_text_);
    exec_text_.clear();
    if (code.empty()) return;
    BalanceReader inner(open_, InLoop());
    TsqlReader reader;
    reader.Read(code, inner);
    inner.Finish();
    unbalanced_ = unbalanced_ || inner.unbalanced();
    hidden_ = hidden_ || inner.hidden();
  }

  int32_t* open_;
  const bool outer_loop_;
  bool unbalanced_ = false;
  bool hidden_ = false;
  bool first_token_ = true;
  bool exec_sql_variable_ = false;
  bool routine_ = false;
  Next next_ = Next::kNone;
  Loop loop_ = Loop::kNone;
  int32_t loop_depth_ = 0;
  TsqlWord bound_ = TsqlWord::kOther;
  std::u16string exec_text_;
};

}  // namespace

CallBalance CommitBalance::ReadCall(std::u16string_view call) {
  BalanceReader visitor(&open_, false);
  TsqlReader reader;
  reader.Read(call, visitor);
  visitor.Finish();
  return CallBalance{visitor.unbalanced(), visitor.hidden()};
}

}  // namespace corvalen
