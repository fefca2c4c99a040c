#include "check/call_compile_rules.h"

namespace corvalen {
namespace {

std::u16string VerbName(TsqlWord w) {
  return w == TsqlWord::kCreate ? u"CREATE" : w == TsqlWord::kAlter ? u"ALTER" : u"DROP";
}

// Statements that SQL Server binds to the columns they name when it
// compiles them: DML, conditions and expressions.
bool ReadsColumns(TsqlWord verb) {
  switch (verb) {
    case TsqlWord::kSelect: case TsqlWord::kInsert: case TsqlWord::kUpdate:
    case TsqlWord::kDelete: case TsqlWord::kMerge: case TsqlWord::kWith: case TsqlWord::kIf:
    case TsqlWord::kWhile: case TsqlWord::kSet: case TsqlWord::kDeclare: case TsqlWord::kPrint:
    case TsqlWord::kReturn:
      return true;
    default:
      return false;
  }
}

bool IsRoutineKind(TsqlWord w) {
  return w == TsqlWord::kProc || w == TsqlWord::kProcedure || w == TsqlWord::kFunction ||
         w == TsqlWord::kTrigger || w == TsqlWord::kView;
}

}  // namespace

bool CallCompileRules::Wants(const StatementInfo& s) {
  // Every statement while a column added in the call may be read.
  return !columns_.empty() || s.verb == TsqlWord::kReturn || s.verb == TsqlWord::kCreate ||
         s.verb == TsqlWord::kAlter || s.verb == TsqlWord::kUse || s.verb == TsqlWord::kSelect ||
         s.verb == TsqlWord::kExec || s.verb == TsqlWord::kExecute;
}

void CallCompileRules::StartCall(const CallInfo& call) {
  call_last_ = call.last_piece;
  columns_.clear();
  databases_.clear();
  created_tables_.clear();
  body_kind_next_ = false;
}

void CallCompileRules::StartPiece(const PieceInfo& piece) {
  piece_ = piece.index;
  next_piece_at_ = piece.next_at;
  for (AddedColumn& c : columns_) {
    c.table_seen = false;
    c.used_at.reset();
  }
}

void CallCompileRules::EndPiece() {
  for (AddedColumn& c : columns_) {
    if (c.table_seen && c.used_at && !c.reported) {
      c.reported = true;
      reporter_.Error(*c.used_at,
                      u"la columna " + c.column +
                          (c.renamed ? u" toma ese nombre (sp_rename) en " : u" se agrega a ") +
                          c.table +
                          u" en la línea {línea}, en la misma llamada: SQL Server compila la "
                          u"llamada entera antes de ejecutarla y aún no la conoce (Msg 207)",
                      c.at);
    }
  }
}

void CallCompileRules::MustOpenCall(const StatementInfo& s, std::u16string_view kind) {
  if (!s.first_of_call) {
    reporter_.Error(s.at, VerbName(s.verb) + u" " + std::u16string(kind) +
                              u" debe ser la primera instrucción de su llamada: SQL Server la "
                              u"rechaza (Msg 111)");
  }
}

void CallCompileRules::Token(const TsqlToken& t, const StatementInfo& s) {
  if (reporter_.inner()) return;
  if (s.index == 0) {
    kind_read_ = false;
    name_.Reset();
    named_ = false;
    add_next_ = false;
    into_next_ = false;
    rename_step_ = 0;
    if (s.verb == TsqlWord::kReturn && piece_ < call_last_ && !reported_return_ && !s.error_only) {
      reported_return_ = true;
      reporter_.Error(s.at,
                      u"RETURN termina la llamada entera: las piezas que la siguen en la misma "
                      u"llamada (desde la línea {línea}) no se ejecutan",
                      next_piece_at_);
    }
  } else if (s.verb == TsqlWord::kCreate || s.verb == TsqlWord::kAlter) {
    Ddl(t, s);
  } else if (s.verb == TsqlWord::kSelect && !named_) {
    if (into_next_ && !name_.Feed(t)) {
      named_ = true;
      Created(name_.key());
    } else if (!into_next_ && t.word == TsqlWord::kInto && t.paren == s.paren) {
      into_next_ = true;
    }
  } else if (s.verb == TsqlWord::kExec || s.verb == TsqlWord::kExecute) {
    Rename(t, s);
  } else if (s.verb == TsqlWord::kUse && s.index == 1 && IsNamePart(t)) {
    KeyOf(t.text, &key_);
    if (auto it = databases_.find(key_); it != databases_.end()) {
      reporter_.Error(s.at,
                      u"USE " + std::u16string(t.text) +
                          u" de una base de datos creada en la misma llamada (línea {línea}): SQL "
                          u"Server rechaza la llamada (Msg 911)",
                      it->second);
    }
  }
  Uses(t, s);
}

void CallCompileRules::Ddl(const TsqlToken& t, const StatementInfo& s) {
  if (!kind_read_) {
    if (t.word == TsqlWord::kOr || t.word == TsqlWord::kAlter) return;  // CREATE OR ALTER
    kind_read_ = true;
    kind_ = t.word;
    if (IsRoutineKind(kind_)) MustOpenCall(s, t.text);
    if (s.verb == TsqlWord::kCreate &&
        (kind_ == TsqlWord::kSchema || kind_ == TsqlWord::kRule || kind_ == TsqlWord::kDefault)) {
      MustOpenCall(s, t.text);
    }
    return;
  }
  if (kind_ == TsqlWord::kDatabase && s.verb == TsqlWord::kCreate && !named_) {
    named_ = true;
    if (IsNamePart(t)) {
      KeyOf(t.text, &key_);
      if (databases_.size() < kMaxNamesFollowed) databases_.emplace(key_, s.at);
    }
    return;
  }
  if (kind_ != TsqlWord::kTable) return;
  if (!named_) {
    if (name_.Feed(t)) return;
    named_ = true;
    if (s.verb == TsqlWord::kCreate) Created(name_.key());
  }
  if (s.verb != TsqlWord::kAlter || created_tables_.count(name_.key()) > 0) return;
  if (t.word == TsqlWord::kAdd && t.paren == s.paren) {
    add_next_ = true;
    return;
  }
  if (IsSymbol(t, u',') && t.paren == s.paren && !columns_.empty() && columns_.back().at == s.at) {
    add_next_ = true;  // ADD a INT, b INT
    return;
  }
  if (!add_next_) return;
  add_next_ = false;
  if (!IsNamePart(t)) return;
  switch (t.word) {
    case TsqlWord::kConstraint: case TsqlWord::kPrimary: case TsqlWord::kForeign:
    case TsqlWord::kUnique: case TsqlWord::kCheck: case TsqlWord::kIndex:
    case TsqlWord::kPeriod: case TsqlWord::kDefault:
      return;
    default:
      break;
  }
  AddColumn(name_.last(), t.text, s.at, false);
}

void CallCompileRules::AddColumn(std::u16string_view table, std::u16string_view column, size_t at,
                                 bool renamed) {
  if (columns_.size() >= kMaxColumns) return;  // bounded on hostile input
  AddedColumn c;
  c.table = table;
  KeyOf(table, &c.table_key);
  c.column = column;
  KeyOf(column, &c.column_key);
  c.piece = piece_;
  c.at = at;
  c.renamed = renamed;
  columns_.push_back(std::move(c));
}

// EXEC [sys.]sp_rename 'schema.table.column', 'new', 'COLUMN' (positional
// literals): the new name is a column SQL Server does not know when it
// compiles the call.
void CallCompileRules::Rename(const TsqlToken& t, const StatementInfo& s) {
  if (rename_step_ == 0) {
    if (IsWord(t, u"sp_rename")) {
      rename_step_ = 1;
    } else if (!IsWord(t, u"sys") && !IsWord(t, u"dbo") && !IsSymbol(t, u'.')) {
      rename_step_ = 0xFF;
    }
    return;
  }
  if (rename_step_ > 5) return;
  const bool argument = rename_step_ % 2 == 1;
  if (argument != (t.kind == TsqlToken::kString) || (!argument && !IsSymbol(t, u','))) {
    rename_step_ = 0xFF;
    return;
  }
  if (argument) {
    std::u16string& text = rename_args_[rename_step_ / 2];
    text.clear();
    AppendLiteralText(t.text, &text);
  }
  if (++rename_step_ != 6) return;
  std::u16string kind;
  KeyOf(rename_args_[2], &kind);
  const std::u16string& old_name = rename_args_[0];
  const size_t dot = old_name.rfind(u'.');
  if (kind != u"column" || dot == std::u16string::npos || dot == 0) return;
  const size_t table_dot = old_name.rfind(u'.', dot - 1);
  const size_t table_start = table_dot == std::u16string::npos ? 0 : table_dot + 1;
  const std::u16string table = old_name.substr(table_start, dot - table_start);
  AddColumn(table, rename_args_[1], s.at, true);
}

void CallCompileRules::EndStatement(const StatementInfo&) {
  if (into_next_ && !named_ && !name_.key().empty()) Created(name_.key());  // SELECT 1 AS a INTO t
  into_next_ = false;
}

void CallCompileRules::Created(const std::u16string& table_key) {
  if (created_tables_.size() < kMaxNamesFollowed) created_tables_.insert(table_key);
}

// A later statement of the call, in the same piece or a later one, that
// names an added column's table and reads the column.
void CallCompileRules::Uses(const TsqlToken& t, const StatementInfo& s) {
  if (columns_.empty() || (t.kind != TsqlToken::kWord && t.kind != TsqlToken::kName)) return;
  for (AddedColumn& c : columns_) {
    if (c.piece == piece_ && s.at <= c.at) continue;  // the ALTER TABLE itself
    if (SameName(t.text, c.table_key)) c.table_seen = true;
    if (!c.used_at && ReadsColumns(s.verb) && SameName(t.text, c.column_key)) {
      c.used_at = reporter_.Pos(t.text.data());
    }
  }
}

// CREATE or ALTER of a routine, view or trigger inside a routine's body.
void CallCompileRules::BodyToken(const TsqlToken& t) {
  if (t.kind != TsqlToken::kWord) return;
  if (body_kind_next_) {
    if (IsWord(t, u"or") || IsWord(t, u"alter")) return;
    body_kind_next_ = false;
    if (IsWord(t, u"proc") || IsWord(t, u"procedure") || IsWord(t, u"function") ||
        IsWord(t, u"trigger") || IsWord(t, u"view")) {
      reporter_.Error(body_create_at_, u"otra definición de " + std::u16string(t.text) +
                                           u" en el cuerpo de la anterior, en la misma llamada: "
                                           u"debe ser la primera instrucción de su llamada; SQL "
                                           u"Server la rechaza (Msg 111)");
    }
    return;
  }
  if (IsWord(t, u"create") || IsWord(t, u"alter")) {
    body_kind_next_ = true;
    body_create_at_ = reporter_.Pos(t.text.data());
  }
}

}  // namespace corvalen
