#include "check/declaration_rules.h"

#include <optional>

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
        KeyOf(t.text, &cursor_);
        cursor_text_ = t.text;
        cursor_at_ = reporter_.Pos(t.text.data());
        cursor_local_ = false;
        return;
      }
    }
    if (!cursor_.empty() && t.kind == TsqlToken::kWord) {
      if (IsWord(t, u"local")) cursor_local_ = true;
      if (t.word == TsqlWord::kFor) DeclareCursor();
    }
    if (IsSymbol(t, u',') && t.paren == s.paren) {
      name_next_ = true;
      first_name_ = false;
      return;
    }
  } else if (s.verb == TsqlWord::kDeallocate && s.index == 1 && IsNamePart(t)) {
    KeyOf(t.text, &key_);
    call_cursors_.erase(key_);  // a cursor given up may be declared again
    global_cursors_.erase(key_);
    return;
  }
  if (t.kind == TsqlToken::kVariable) Use(t);
}

void DeclarationRules::EndStatement(const StatementInfo&) {
  if (!cursor_.empty()) DeclareCursor();
}

// A LOCAL cursor lives for its call; a global one (the default) stays on the
// connection until DEALLOCATE, for the later calls and scripts too. The two
// kinds do not clash.
void DeclarationRules::DeclareCursor() {
  const std::u16string key = std::move(cursor_);
  cursor_.clear();
  std::optional<size_t> earlier;
  bool same_call = true;
  if (cursor_local_) {
    if (auto it = call_cursors_.find(key); it != call_cursors_.end()) {
      earlier = it->second.at;
      it->second = Declared{piece_, cursor_at_};
    } else if (call_cursors_.size() < kMaxNamesFollowed) {
      call_cursors_.emplace(key, Declared{piece_, cursor_at_});
    }
  } else if (auto it = global_cursors_.find(key); it != global_cursors_.end()) {
    earlier = it->second.at;
    same_call = it->second.call == call_;
    it->second = GlobalCursor{call_, cursor_at_, cursor_text_};
  } else if (global_cursors_.size() < kMaxNamesFollowed) {
    global_cursors_.emplace(key, GlobalCursor{call_, cursor_at_, cursor_text_});
  }
  if (!earlier) return;
  reporter_.Error(cursor_at_,
                  u"el cursor " + cursor_text_ + u" ya se declaró en la línea {línea}" +
                      (same_call ? u", en la misma llamada"
                                 : u" y sigue en la conexión (cursor global sin DEALLOCATE)") +
                      u": SQL Server lo rechaza (Msg 16915)",
                  *earlier);
}

void DeclarationRules::EndScript() {
  for (const auto& [key, cursor] : global_cursors_) {
    reporter_.Note(cursor.at, u"el cursor " + cursor.name +
                                  u" queda declarado en la conexión de la entidad (cursor global "
                                  u"sin DEALLOCATE): un script que siga y lo declare falla (Msg "
                                  u"16915)");
  }
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
