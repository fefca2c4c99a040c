// Statements SQL Server refuses inside a user transaction, and every
// script runs in one: CREATE/ALTER/DROP DATABASE, BACKUP, RESTORE,
// RECONFIGURE, full-text catalog and index DDL, memory-optimized table DDL;
// also in the text of EXEC('...') and EXEC sp_executesql N'...' (read with
// its doubled quotes undone).
#ifndef CORVALEN_CHECK_TRANSACTION_REFUSALS_H_
#define CORVALEN_CHECK_TRANSACTION_REFUSALS_H_

#include <string>
#include <unordered_set>

#include "check/statements.h"

namespace corvalen {

class TransactionRefusals : public Rules {
 public:
  explicit TransactionRefusals(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override;
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndStatement(const StatementInfo& s) override;

 private:
  void Ddl(const TsqlToken& t, const StatementInfo& s);
  void Exec(const TsqlToken& t, const StatementInfo& s);
  void Refused(size_t at, const std::u16string& what, const char16_t* msg);
  void JudgeExecText(const StatementInfo& s);

  enum class ExecStep : uint8_t { kNone, kStart, kParen, kExecuteSql, kDone };
  Reporter& reporter_;
  std::unordered_set<std::u16string> memory_tables_;
  // The statement.
  bool kind_read_ = false;  // after CREATE/ALTER/DROP
  TsqlWord kind_ = TsqlWord::kOther;
  size_t after_kind_ = 0;
  NameReader table_;
  bool table_named_ = false;
  ExecStep exec_ = ExecStep::kNone;
  std::u16string exec_text_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_TRANSACTION_REFUSALS_H_
