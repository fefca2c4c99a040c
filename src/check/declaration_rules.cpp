#include "check/declaration_rules.h"

namespace corvalen {

void DeclarationRules::StartCall(const CallInfo& call) {
  call_ = call.index;
  call_vars_.clear();
  call_cursors_.clear();
  reported_uses_.clear();
}

void DeclarationRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner()) return;
  if (s.verb == TsqlWord::kDeclare) {
    if (s.index == 0) {
      name_next_ = true;
      first_name_ = true;
      return;
    }
    if (name_next_) {
      name_next_ = false;
      if (t.kind == TsqlToken::kVariable) {
        Declare(t, call_vars_, u"la variable ", u"134");
        KeyOf(t.text, &key_);
        if (script_vars_.size() < kMaxNamesFollowed) {
          script_vars_.try_emplace(key_, Declared{call_, reporter_.Pos(t.text.data())});
        }
        return;
      }
      if (first_name_ && IsNamePart(t)) {
        Declare(t, call_cursors_, u"el cursor ", u"16915");
        return;
      }
    }
    if (IsSymbol(t, u',') && t.paren == s.paren) {
      name_next_ = true;
      first_name_ = false;
      return;
    }
  } else if (s.verb == TsqlWord::kDeallocate && s.index == 1 && IsNamePart(t)) {
    KeyOf(t.text, &key_);
    call_cursors_.erase(key_);  // a cursor given up may be declared again
    return;
  }
  if (t.kind == TsqlToken::kVariable) Use(t);
}

void DeclarationRules::Declare(const TsqlToken& t,
                               std::unordered_map<std::u16string, Declared>& declared,
                               const char16_t* what, const char16_t* msg) {
  KeyOf(t.text, &key_);
  const size_t at = reporter_.Pos(t.text.data());
  const auto it = declared.find(key_);
  if (it == declared.end()) {
    if (declared.size() < kMaxNamesFollowed) declared.emplace(key_, Declared{piece_, at});
  } else {
    reporter_.Error(at,
                    what + std::u16string(t.text) +
                        u" ya se declaró en la línea {línea}, en la misma llamada: SQL Server lo "
                        u"rechaza (Msg " +
                        msg + u")",
                    it->second.at);
    it->second = Declared{piece_, at};
  }
}

void DeclarationRules::Use(const TsqlToken& t) {
  if (script_vars_.empty()) return;
  KeyOf(t.text, &key_);
  if (reported_uses_.count(key_) > 0 || reported_uses_.size() >= kMaxNamesFollowed) return;
  const size_t at = reporter_.Pos(t.text.data());
  if (auto it = call_vars_.find(key_); it != call_vars_.end()) {
    if (it->second.piece < piece_) {
      reported_uses_.insert(key_);
      reporter_.Note(at,
                     u"la variable " + std::u16string(t.text) +
                         u" se declara en otra pieza (línea {línea}): funciona solo mientras "
                         u"ambas piezas vayan en la misma llamada",
                     it->second.at);
    }
    return;
  }
  if (auto it = script_vars_.find(key_); it != script_vars_.end() && it->second.piece < call_) {
    reported_uses_.insert(key_);
    reporter_.Error(at,
                    u"la variable " + std::u16string(t.text) +
                        u" se declaró en una llamada anterior (línea {línea}): en esta no existe "
                        u"(Msg 137)",
                    it->second.at);
  }
}

}  // namespace corvalen
