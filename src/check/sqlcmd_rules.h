// sqlcmd's own directives and variables: sqlcmd acts on them, this program
// sends them to the server as written.
#ifndef CORVALEN_CHECK_SQLCMD_RULES_H_
#define CORVALEN_CHECK_SQLCMD_RULES_H_

#include "check/statements.h"

namespace corvalen {

// Errors: a directive at a line's start (:setvar, :r, :on error, !!, ...);
// $(name) outside strings and comments, inside a quoted or bracketed name
// too. Note: $(name) inside a string literal (sqlcmd would replace it there
// as well; SQL Agent's $(ESCAPE_...(...)) tokens, meant as they are, aside).
class SqlcmdRules : public Rules {
 public:
  explicit SqlcmdRules(Reporter& reporter) : reporter_(reporter) {}
  bool Wants(const StatementInfo&) override { return false; }
  uint32_t Watches() const override {
    return 1u << TsqlToken::kName | 1u << TsqlToken::kString | 1u << TsqlToken::kSqlcmdVariable |
           kLineStarts;
  }
  void Token(const TsqlToken& t, const StatementInfo&) override { Check(t); }
  void BodyToken(const TsqlToken& t) override { Check(t); }

 private:
  void Check(const TsqlToken& t);
  Reporter& reporter_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_SQLCMD_RULES_H_
