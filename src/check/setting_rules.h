// Session settings: they stay on the entity's connection after the script,
// for the scripts that follow it.
#ifndef CORVALEN_CHECK_SETTING_RULES_H_
#define CORVALEN_CHECK_SETTING_RULES_H_

#include <cstdint>
#include <map>
#include <optional>

#include "check/statements.h"

namespace corvalen {

// Errors: SET IMPLICIT_TRANSACTIONS OFF (alone or in a list of options;
// also in error-only code); SET NOEXEC, FMTONLY or PARSEONLY ON, and SET
// ROWCOUNT other than 0, left on at the script's end where the run can reach
// it. Notes: SET DATEFORMAT, LANGUAGE, DATEFIRST, XACT_ABORT ON, TRANSACTION
// ISOLATION LEVEL and IDENTITY_INSERT ON left on, QUOTED_IDENTIFIER and
// ANSI_NULLS left OFF; EXECUTE AS without its REVERT; USE (the rest of the
// script runs in that database).
class SettingRules : public Rules {
 public:
  explicit SettingRules(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override {
    return s.verb == TsqlWord::kSet || s.verb == TsqlWord::kUse || s.verb == TsqlWord::kExec ||
           s.verb == TsqlWord::kExecute || s.verb == TsqlWord::kRevert;
  }
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndScript() override;

 private:
  enum Setting : uint8_t { kDateFormat, kLanguage, kDateFirst, kXactAbort, kNoExec, kImplicit,
                           kIsolation, kFmtOnly, kParseOnly, kRowCount, kIdentityInsert,
                           kQuotedIdentifier, kAnsiNulls, kSettings };
  struct Set {
    size_t at;
    bool on;
  };
  void Apply(const StatementInfo& s, bool on);
  static int WordSetting(const TsqlToken& t);

  Reporter& reporter_;
  std::optional<Set> settings_[kSettings];
  std::optional<size_t> last_use_;
  std::optional<size_t> execute_as_;  // an EXECUTE AS not yet reverted
  // The SET statement: the options listed so far.
  uint16_t listed_ = 0;  // bits by Setting
  bool value_next_ = false;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_SETTING_RULES_H_
