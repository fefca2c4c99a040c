#include "check/transaction_refusals.h"

namespace corvalen {
namespace {

std::u16string VerbName(TsqlWord w) {
  return w == TsqlWord::kCreate ? u"CREATE" : w == TsqlWord::kAlter ? u"ALTER" : u"DROP";
}

// The system procedures that refuse to run inside a transaction: full-text
// search's and sp_dboption.
bool RefusesTransactions(const TsqlToken& t) {
  if (t.kind != TsqlToken::kWord && t.kind != TsqlToken::kName) return false;
  std::u16string key;
  KeyOf(t.text, &key);
  return (key.size() > 12 && key.compare(0, 12, u"sp_fulltext_") == 0) || key == u"sp_dboption";
}

// sys, dbo or master, bracketed or not: a system procedure's path.
bool IsPathToSystemProcedure(const TsqlToken& t) {
  if (t.kind != TsqlToken::kWord && t.kind != TsqlToken::kName) return false;
  std::u16string key;
  KeyOf(t.text, &key);
  return key == u"sys" || key == u"dbo" || key == u"master";
}

}  // namespace

void TransactionRefusals::Refused(size_t at, const std::u16string& what, const char16_t* msg) {
  reporter_.Always(at, FindingLevel::kError,
                   (reporter_.inner() ? u"dentro de EXEC: " : u"") + what +
                       u" no se admite dentro de una transacción, y cada script corre en una: "
                       u"SQL Server lo rechaza (Msg " +
                       msg + u")");
}

bool TransactionRefusals::Wants(const StatementInfo& s) {
  switch (s.verb) {
    case TsqlWord::kCreate: case TsqlWord::kAlter: case TsqlWord::kDrop: case TsqlWord::kBackup:
    case TsqlWord::kRestore: case TsqlWord::kReconfigure: case TsqlWord::kExec:
    case TsqlWord::kExecute:
      return true;
    default:
      return false;
  }
}

void TransactionRefusals::Token(const TsqlToken& t, const StatementInfo& s) {
  if (s.index == 0) {
    kind_read_ = false;
    after_kind_ = 0;
    table_.Reset();
    table_named_ = false;
    exec_ = ExecStep::kNone;
    if (s.error_only) return;
    if (s.verb == TsqlWord::kRestore) Refused(s.at, u"RESTORE", u"3021");
    if (s.verb == TsqlWord::kReconfigure) Refused(s.at, u"RECONFIGURE", u"574");
    if (s.verb == TsqlWord::kExec || s.verb == TsqlWord::kExecute) exec_ = ExecStep::kStart;
    return;
  }
  if (s.error_only) return;
  switch (s.verb) {
    case TsqlWord::kCreate: case TsqlWord::kAlter: case TsqlWord::kDrop:
      Ddl(t, s);
      break;
    case TsqlWord::kBackup:
      if (s.index == 1 && (t.word == TsqlWord::kDatabase || t.word == TsqlWord::kLog)) {
        Refused(s.at, u"BACKUP", u"3021");
      }
      break;
    case TsqlWord::kExec: case TsqlWord::kExecute:
      Exec(t, s);
      break;
    default:
      break;
  }
}

void TransactionRefusals::Ddl(const TsqlToken& t, const StatementInfo& s) {
  if (!kind_read_) {
    if (t.word == TsqlWord::kOr || t.word == TsqlWord::kAlter) return;  // CREATE OR ALTER
    kind_read_ = true;
    kind_ = t.word;
    return;
  }
  ++after_kind_;
  switch (kind_) {
    case TsqlWord::kDatabase:
      if (after_kind_ == 1 && t.word != TsqlWord::kAudit && t.word != TsqlWord::kScoped &&
          t.word != TsqlWord::kEncryption) {
        Refused(s.at, VerbName(s.verb) + u" DATABASE", u"226");
      }
      break;
    case TsqlWord::kFulltext:
      if (after_kind_ == 1 && (t.word == TsqlWord::kCatalog || t.word == TsqlWord::kIndex)) {
        Refused(s.at, VerbName(s.verb) + u" FULLTEXT " + std::u16string(t.text), u"574");
      }
      break;
    case TsqlWord::kTable:
      if (!table_named_ && table_.Feed(t)) return;
      if (!table_named_) {
        table_named_ = true;
        if (s.verb != TsqlWord::kCreate && memory_tables_.count(table_.key()) > 0) {
          Refused(s.at, VerbName(s.verb) + u" TABLE de una tabla optimizada para memoria",
                  u"12331");
        }
      }
      if (s.verb == TsqlWord::kCreate && t.word == TsqlWord::kMemoryOptimized &&
          memory_tables_.size() < kMaxNamesFollowed && memory_tables_.insert(table_.key()).second) {
        Refused(s.at, u"CREATE TABLE de una tabla optimizada para memoria", u"12331");
      }
      break;
    default:
      break;
  }
}

void TransactionRefusals::Exec(const TsqlToken& t, const StatementInfo& s) {
  switch (exec_) {
    case ExecStep::kStart:
      // EXEC ('...' + '...'), EXEC [sys.]sp_executesql N'...', or a procedure
      // that refuses transactions (EXEC @ret = [master..]sp_…).
      if (IsSymbol(t, u'(')) {
        exec_ = ExecStep::kParen;
        exec_text_.clear();
      } else if (IsWord(t, u"sp_executesql")) {
        exec_ = ExecStep::kExecuteSql;
        exec_text_.clear();
      } else if (RefusesTransactions(t)) {
        Refused(s.at, u"EXEC " + std::u16string(t.text), u"15002");
        exec_ = ExecStep::kDone;
      } else if (!(IsPathToSystemProcedure(t) || IsSymbol(t, u'.') ||
                   t.kind == TsqlToken::kVariable || IsSymbol(t, u'='))) {
        exec_ = ExecStep::kDone;
      }
      break;
    case ExecStep::kParen:
      if (t.kind == TsqlToken::kString) {
        AppendLiteralText(t.text, &exec_text_);
      } else if (!IsSymbol(t, u'+')) {
        JudgeExecText(s);
      }
      break;
    case ExecStep::kExecuteSql:
      // The statement's literal, named (@stmt = N'…') or not.
      if (t.kind == TsqlToken::kVariable || IsSymbol(t, u'=')) break;
      if (t.kind == TsqlToken::kString) AppendLiteralText(t.text, &exec_text_);
      JudgeExecText(s);
      break;
    default:
      break;
  }
}

void TransactionRefusals::EndStatement(const StatementInfo& s) {
  if (exec_ == ExecStep::kParen) JudgeExecText(s);
}

void TransactionRefusals::JudgeExecText(const StatementInfo& s) {
  exec_ = ExecStep::kDone;
  if (exec_text_.empty()) return;
  const std::u16string code = std::move(exec_text_);
  exec_text_.clear();
  // Nested EXEC texts report where the outermost EXEC stands.
  const size_t at = reporter_.inner() ? reporter_.Pos(nullptr) : s.at;
  Reporter inner(reporter_.text(), reporter_.found(), at);
  TransactionRefusals rules(inner);
  StatementStream stream(inner, {&rules});
  stream.StartCall(CallInfo{});
  TsqlReader reader;
  reader.Read(code, stream);
  stream.EndCall();
}

}  // namespace corvalen
