// Statements that SQL Server's grammar wants ended, or the statement before
// them ended, by ';': without it the whole call fails to compile.
#ifndef CORVALEN_CHECK_TERMINATOR_RULES_H_
#define CORVALEN_CHECK_TERMINATOR_RULES_H_

#include <cstdint>

#include "check/statements.h"

namespace corvalen {

// Errors: a common table expression (WITH name [(columns)] AS (...)), WITH
// XMLNAMESPACES (...) or WITH CHANGE_TRACKING_CONTEXT (...) that follows a statement not ended by ';' (Msg
// 319; after IF or WHILE's condition, BEGIN, ELSE or END nothing is said);
// a MERGE ... USING not ended by ';' (Msg 10713); a THROW after a statement
// not ended by ';' (read as part of it: SELECT x THROW names a column THROW,
// and the error is lost). Syntax errors fail the call whether the run
// reaches them or not.
class TerminatorRules : public Rules {
 public:
  explicit TerminatorRules(Reporter& reporter) : reporter_(reporter) {}

  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndStatement(const StatementInfo& s) override;

 private:
  // The steps of WITH name [(columns)] AS ( after a statement in progress.
  enum class Cte : uint8_t { kNone, kWith, kName, kColumns, kAs, kNamespaces };
  void Follow(const TsqlToken& t);

  Reporter& reporter_;
  Cte cte_ = Cte::kNone;
  size_t with_at_ = 0;
  int32_t columns_paren_ = 0;
  bool merge_using_ = false;  // the MERGE in progress has its USING
  bool previous_for_ = false;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_TERMINATOR_RULES_H_
