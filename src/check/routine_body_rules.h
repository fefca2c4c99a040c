// What follows the END that closes a routine's BEGIN ... END body: the body
// runs to the end of its call, so it is still part of the routine.
#ifndef CORVALEN_CHECK_ROUTINE_BODY_RULES_H_
#define CORVALEN_CHECK_ROUTINE_BODY_RULES_H_

#include <cstdint>

#include "check/statements.h"

namespace corvalen {

// Error: anything but ';' after the END that closes the BEGIN ... END body
// of CREATE/ALTER PROCEDURE, TRIGGER or FUNCTION, in the same call (a GRANT
// or a PRINT with the GO before it forgotten): in a procedure or a trigger
// it does not run now but at every call, in a function SQL Server refuses
// it. Bodies that do not start with a plain BEGIN (BEGIN TRY, BEGIN TRAN,
// RETURN, a single statement) are not judged.
class RoutineBodyRules : public Rules {
 public:
  explicit RoutineBodyRules(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override {
    return s.verb == TsqlWord::kCreate || s.verb == TsqlWord::kAlter;
  }
  void StartCall(const CallInfo&) override { phase_ = Phase::kNone; }
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void BodyToken(const TsqlToken& t) override;

 private:
  enum class Phase : uint8_t { kNone, kHeader, kAfterAs, kBody, kAfterEnd };
  // The body's BEGIN ... END, CASE ... END and TRY/CATCH blocks.
  void Block(const TsqlToken& t);

  Reporter& reporter_;
  Phase phase_ = Phase::kNone;
  const char16_t* kind_ = u"";
  size_t begin_at_ = 0;
  int32_t paren_ = 0;     // in the header: parameters' parentheses
  int32_t depth_ = 0;     // in the body: open blocks
  bool pending_begin_ = false, pending_end_ = false;
  bool after_variable_ = false, after_execute_ = false;  // `@p AS int`, `EXECUTE AS`
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_ROUTINE_BODY_RULES_H_
