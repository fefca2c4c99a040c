#include "check/setting_rules.h"

namespace corvalen {
namespace {

constexpr const char16_t* kNames[] = {u"DATEFORMAT", u"LANGUAGE", u"DATEFIRST", u"XACT_ABORT",
                                      u"NOEXEC", u"IMPLICIT_TRANSACTIONS",
                                      u"TRANSACTION ISOLATION LEVEL"};

}  // namespace

void SettingRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner()) return;
  if (s.verb == TsqlWord::kUse) {
    if (s.index == 0) last_use_ = s.at;
    return;
  }
  if (s.verb != TsqlWord::kSet) return;
  if (s.index == 0) {
    listed_ = 0;
    value_next_ = false;
    return;
  }
  if (t.paren != s.paren) return;
  if (value_next_) {  // SET DATEFORMAT dmy: the value sets it
    value_next_ = false;
    Apply(s, true);
    listed_ = 0;
    return;
  }
  int setting = -1;
  switch (t.word) {
    case TsqlWord::kDateFormat: setting = kDateFormat; break;
    case TsqlWord::kLanguage: setting = kLanguage; break;
    case TsqlWord::kDateFirst: setting = kDateFirst; break;
    case TsqlWord::kXactAbort: setting = kXactAbort; break;
    case TsqlWord::kNoExec: setting = kNoExec; break;
    case TsqlWord::kImplicitTransactions: setting = kImplicit; break;
    case TsqlWord::kTransaction:
      if (s.index == 1) setting = kIsolation;
      break;
    case TsqlWord::kOn: case TsqlWord::kOff:
      Apply(s, t.word == TsqlWord::kOn);
      listed_ = 0;
      return;
    default:
      break;
  }
  if (setting < 0) return;  // another option of the list, or a variable's SET
  listed_ |= static_cast<uint8_t>(1u << setting);
  if (setting == kDateFormat || setting == kLanguage || setting == kDateFirst) value_next_ = true;
  if (setting == kIsolation) Apply(s, true);
}

void SettingRules::Apply(const StatementInfo& s, bool on) {
  for (int k = 0; k < kSettings; ++k) {
    if ((listed_ & (1u << k)) == 0) continue;
    if (k == kImplicit && !on) {
      reporter_.Error(s.at, u"SET IMPLICIT_TRANSACTIONS OFF: con un controlador que mantiene la "
                            u"transacción mediante transacciones implícitas, lo que sigue ya no "
                            u"se deshace si algo falla");
    }
    if (s.error_only && k != kImplicit) continue;  // the run ends after the failure
    settings_[k] = Set{s.at, on};
  }
}

void SettingRules::EndScript() {
  for (int k = 0; k < kSettings; ++k) {
    if (!settings_[k] || !settings_[k]->on || k == kImplicit) continue;
    const size_t at = settings_[k]->at;
    if (k == kNoExec) {
      reporter_.Error(at, u"SET NOEXEC ON queda puesto en la conexión de la entidad: lo que sigue "
                          u"no se ejecuta y se da por bueno");
    } else {
      reporter_.Note(at, u"SET " + std::u16string(kNames[k]) + (k == kXactAbort ? u" ON" : u"") +
                             u" queda puesto en la conexión de la entidad para los scripts que "
                             u"siguen");
    }
  }
  if (last_use_) {
    reporter_.Note(*last_use_, u"USE cambia la base de datos para el resto del script: lo que "
                               u"sigue no corre en la base de la entidad");
  }
}

}  // namespace corvalen
