// The script's own transactions, judged against the run's: every script
// runs in one transaction of the run's, committed only when all of it ran.
#ifndef CORVALEN_CHECK_TRANSACTION_RULES_H_
#define CORVALEN_CHECK_TRANSACTION_RULES_H_

#include <string>
#include <unordered_set>

#include "check/statements.h"

namespace corvalen {

// Errors: a COMMIT with no BEGIN TRAN of the script's own open (it commits
// the run's transaction; also in error-only code, which it outlives); a
// ROLLBACK other than to a savepoint the script saved, where the run can
// reach it; a BEGIN TRAN the script never ends; a CATCH block that
// swallows the error (neither THROW nor RAISERROR of severity 11 or more).
class TransactionRules : public Rules {
 public:
  explicit TransactionRules(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override;
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndStatement(const StatementInfo& s) override;
  void EndCall() override;
  void EndScript() override;

 private:
  void Catches(const TsqlToken& t);
  void CatchEnds();

  Reporter& reporter_;
  int32_t own_count_ = 0;  // BEGIN TRAN of the script's own still open
  size_t first_open_at_ = 0;
  std::unordered_set<std::u16string> savepoints_;
  // The statement.
  bool tran_word_ = false;  // after ROLLBACK/SAVE: TRAN or TRANSACTION read
  bool to_savepoint_ = false;
  std::u16string key_;
  int32_t raise_commas_ = 0;
  // The CATCH block being read.
  bool in_catch_ = false;
  bool reraised_ = false;
  size_t catch_at_ = 0;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_TRANSACTION_RULES_H_
