#include "check/setting_rules.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

namespace corvalen {
namespace {

constexpr const char16_t* kNames[] = {
    u"DATEFORMAT", u"LANGUAGE",  u"DATEFIRST", u"XACT_ABORT",      u"NOEXEC",
    u"IMPLICIT_TRANSACTIONS",    u"TRANSACTION ISOLATION LEVEL",   u"FMTONLY",
    u"PARSEONLY",  u"ROWCOUNT",  u"IDENTITY_INSERT", u"QUOTED_IDENTIFIER", u"ANSI_NULLS"};

}  // namespace

void SettingRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner()) return;
  if (s.verb == TsqlWord::kUse) {
    if (s.index == 0) last_use_ = s.at;
    return;
  }
  if (s.verb == TsqlWord::kRevert) {
    if (!s.error_only) execute_as_.reset();
    return;
  }
  if (s.verb == TsqlWord::kExec || s.verb == TsqlWord::kExecute) {
    if (s.index == 1 && IsWord(t, u"as") && !s.error_only) execute_as_ = s.at;
    return;
  }
  if (s.verb != TsqlWord::kSet) return;
  if (s.index == 0) {
    listed_ = 0;
    value_next_ = false;
    return;
  }
  if (t.paren != s.paren) return;
  if (value_next_) {  // SET DATEFORMAT dmy: the value sets it; SET ROWCOUNT 0 lifts it
    value_next_ = false;
    Apply(s, !((listed_ & (1u << kRowCount)) != 0 && t.text == u"0"));
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
      setting = WordSetting(t);
      break;
  }
  if (setting < 0) return;  // another option of the list, a table's name, a variable's SET
  listed_ |= static_cast<uint16_t>(1u << setting);
  if (setting == kDateFormat || setting == kLanguage || setting == kDateFirst ||
      setting == kRowCount) {
    value_next_ = true;
  }
  if (setting == kIsolation) Apply(s, true);
}

// The options known by their word only (the others have a keyword): their
// names, from FMTONLY on, are their words.
int SettingRules::WordSetting(const TsqlToken& t) {
  static_assert(std::size(kNames) == kSettings);
  if (t.kind != TsqlToken::kWord) return -1;
  for (int k = kFmtOnly; k < kSettings; ++k) {
    const std::u16string_view name = kNames[k];
    if (t.text.size() == name.size() &&
        std::equal(name.begin(), name.end(), t.text.begin(),
                   [](char16_t n, char16_t c) { return (n | 0x20) == (c | 0x20); })) {
      return k;
    }
  }
  return -1;
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
    if (!settings_[k] || k == kImplicit) continue;
    const size_t at = settings_[k]->at;
    const std::u16string name = kNames[k];
    if (k == kQuotedIdentifier || k == kAnsiNulls) {
      if (!settings_[k]->on) {
        reporter_.Note(at, u"SET " + name + u" OFF queda puesto en la conexión de la entidad: los "
                           u"procedimientos, vistas y funciones que creen los scripts que siguen "
                           u"lo guardan");
      }
      continue;
    }
    if (!settings_[k]->on) continue;
    if (k == kNoExec || k == kFmtOnly || k == kParseOnly) {
      reporter_.Error(at, u"SET " + name + u" ON queda puesto en la conexión de la entidad: lo "
                          u"que sigue no se ejecuta y se da por bueno");
    } else if (k == kRowCount) {
      reporter_.Error(at, u"SET ROWCOUNT queda puesto en la conexión de la entidad: en los "
                          u"scripts que siguen cada INSERT, UPDATE y DELETE se detiene en ese "
                          u"número de filas; termine con SET ROWCOUNT 0");
    } else if (k == kIdentityInsert) {
      reporter_.Note(at, u"SET IDENTITY_INSERT ON queda puesto en la conexión de la entidad: un "
                         u"script que siga y lo ponga para otra tabla falla (Msg 8107)");
    } else {
      reporter_.Note(at, u"SET " + std::u16string(kNames[k]) + (k == kXactAbort ? u" ON" : u"") +
                             u" queda puesto en la conexión de la entidad para los scripts que "
                             u"siguen");
    }
  }
  if (execute_as_) {
    reporter_.Note(*execute_as_, u"EXECUTE AS sin su REVERT queda puesto en la conexión de la "
                                 u"entidad: los scripts que siguen corren con ese usuario");
  }
  if (last_use_) {
    reporter_.Note(*last_use_, u"USE cambia la base de datos para el resto del script: lo que "
                               u"sigue no corre en la base de la entidad");
  }
}

}  // namespace corvalen
