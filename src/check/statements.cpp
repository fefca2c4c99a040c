#include "check/statements.h"

#include <bit>

namespace corvalen {

StatementStream::StatementStream(const Reporter& reporter, std::vector<Rules*> rules)
    : reporter_(reporter), rules_(std::move(rules)) {
  for (size_t k = 0; k < rules_.size() && k < 32; ++k) {
    const uint32_t watches = rules_[k]->Watches();
    for (int kind = 0; kind < 8; ++kind) {
      if (watches & (1u << kind)) watching_[0][kind] |= 1u << k;
      if (watches & ((1u << kind) | Rules::kLineStarts)) watching_[1][kind] |= 1u << k;
    }
  }
}

void StatementStream::StartCall(const CallInfo& call) {
  tokens_in_call_ = 0;
  routine_ = false;
  routine_kind_next_ = false;
  open_ = false;
  reach_.Reset();
  for (Rules* r : rules_) r->StartCall(call);
}

void StatementStream::StartPiece(const PieceInfo& piece) {
  for (Rules* r : rules_) r->StartPiece(piece);
}

void StatementStream::EndPiece() {
  for (Rules* r : rules_) r->EndPiece();
}

void StatementStream::EndCall() {
  EndStatement();
  for (Rules* r : rules_) r->EndCall();
  routine_ = false;
}

void StatementStream::EndScript() {
  for (Rules* r : rules_) r->EndScript();
}

void StatementStream::EndStatement() {
  if (!open_) return;
  open_ = false;
  for (Rules* r : rules_) r->EndStatement(statement_);
}

void StatementStream::Token(const TsqlToken& t) {
  if (routine_) {
    for (Rules* r : rules_) r->BodyToken(t);
    return;
  }
  if (IsSymbol(t, u';')) {
    statement_.semicolon = true;
    EndStatement();
    return;
  }
  reach_.Token(t);
  const bool first_of_call = tokens_in_call_++ == 0;
  if (t.statement || !open_) {
    const bool after_unended = open_;
    const TsqlWord previous_verb = statement_.verb;
    EndStatement();
    statement_ = StatementInfo{t.statement ? t.word : TsqlWord::kOther,
                               reporter_.Pos(t.text.data()),
                               0,
                               first_of_call,
                               reach_.error_only(),
                               t.paren};
    statement_.after_unended = after_unended;
    statement_.previous_verb = previous_verb;
    open_ = true;
    wanting_ = 0;
    for (size_t k = 0; k < rules_.size() && k < 32; ++k) {
      if (rules_[k]->Wants(statement_)) wanting_ |= 1u << k;
    }
  } else {
    ++statement_.index;
  }
  for (uint32_t to = wanting_ | watching_[t.line_start][t.kind & 7]; to != 0; to &= to - 1) {
    rules_[static_cast<size_t>(std::countr_zero(to))]->Token(t, statement_);
  }
  WatchRoutine(t);
}

void StatementStream::WatchRoutine(const TsqlToken& t) {
  if (statement_.index == 0) {
    routine_kind_next_ = t.word == TsqlWord::kCreate || t.word == TsqlWord::kAlter;
    return;
  }
  if (!routine_kind_next_) return;
  if (t.word == TsqlWord::kOr || t.word == TsqlWord::kAlter) return;  // CREATE OR ALTER
  routine_kind_next_ = false;
  switch (t.word) {
    case TsqlWord::kProc: case TsqlWord::kProcedure: case TsqlWord::kFunction:
    case TsqlWord::kTrigger: case TsqlWord::kView:
      routine_ = !reporter_.inner();  // the body runs to the end of the call
      break;
    default:
      break;
  }
}

void KeyOf(std::u16string_view name, std::u16string* key) {
  if (name.size() >= 2 && (name.front() == u'[' || name.front() == u'"')) {
    name = name.substr(1, name.size() - 2);
  }
  key->assign(name);
  for (char16_t& c : *key) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
}

bool SameName(std::u16string_view name, const std::u16string& key) {
  if (name.size() >= 2 && (name.front() == u'[' || name.front() == u'"')) {
    name = name.substr(1, name.size() - 2);
  }
  if (name.size() != key.size()) return false;
  for (size_t k = 0; k < name.size(); ++k) {
    char16_t c = name[k];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != key[k]) return false;
  }
  return true;
}

bool IsNamePart(const TsqlToken& t) {
  return (t.kind == TsqlToken::kWord && !t.statement) || t.kind == TsqlToken::kName;
}

bool NameReader::Feed(const TsqlToken& t) {
  if (part_next_ && IsNamePart(t)) {
    KeyOf(t.text, &key_);
    last_ = t.text;
    part_next_ = false;
    return true;
  }
  if (!part_next_ && IsSymbol(t, u'.')) {
    part_next_ = true;
    return true;
  }
  return false;
}

}  // namespace corvalen
