#include "check/script_check.h"

#include <algorithm>
#include <array>
#include <memory>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/ansi_file_decoder.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"
#include "tsql/script_reader.h"
#include "tsql/tsql_reader.h"

namespace corvalen {
namespace {

using Level = FindingLevel;

// A finding before it has its line: its place in the text, and a second
// place whose line the text names (as "{línea}").
struct Found {
  size_t at;
  Level level;
  std::u16string text;
  std::optional<size_t> named;
};

bool IsIdentifierChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
         c == u'_';
}

// A name as SQL Server compares it by default: quotes and brackets off,
// letter case ignored (ASCII), into `*key`.
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

bool IsSymbol(const TsqlToken& t, char16_t c) {
  return t.kind == TsqlToken::kSymbol && t.text[0] == c;
}

// Whether a word token is `lower`, in any letter case (`lower` is ASCII).
bool IsWord(const TsqlToken& t, std::u16string_view lower) {
  if (t.text.size() != lower.size()) return false;
  for (size_t k = 0; k < lower.size(); ++k) {
    const char16_t c = t.text[k];
    if ((c >= u'A' && c <= u'Z' ? c + 32 : c) != lower[k]) return false;
  }
  return true;
}

bool IsNamePart(const TsqlToken& t) {
  return (t.kind == TsqlToken::kWord && !t.statement) || t.kind == TsqlToken::kName;
}

// The statements' judge: receives the tokens of each call in order.
class Judge {
 public:
  Judge(std::u16string_view text, std::vector<Found>* found) : text_(text), found_(found) {}
  Judge(const Judge&) = delete;
  Judge& operator=(const Judge&) = delete;

  // A judge of the text of EXEC('...'): reports only what a transaction
  // refuses, at `at`.
  Judge(const Judge& outer, size_t at) : text_(outer.text_), found_(outer.found_), exec_at_(at) {}

  void StartCall(const PieceGroup& group) {
    call_last_ = group.last;
    tokens_in_call_ = 0;
    routine_ = false;
    mode_ = Mode::kNone;
    call_vars_.clear();
    call_cursors_.clear();
    call_databases_.clear();
    call_columns_.clear();
    reported_uses_.clear();
    ++call_;
  }
  // `next_at`: where the piece after this one starts to hold anything.
  void StartPiece(size_t piece, size_t next_at) {
    piece_ = piece;
    next_piece_at_ = next_at;
    for (AddedColumn& c : call_columns_) {
      c.table_seen = false;
      c.used_at.reset();
    }
  }
  void EndPiece() {
    for (AddedColumn& c : call_columns_) {
      if (c.piece < piece_ && c.table_seen && c.used_at && !c.reported) {
        c.reported = true;
        Error(*c.used_at,
              u"la columna " + c.column + u" se agrega a " + c.table +
                  u" en la línea {línea}, en la misma llamada: SQL Server compila la llamada "
                  u"entera antes de ejecutarla y aún no la conoce (Msg 207)",
              c.at);
      }
    }
  }
  void EndCall() { Flush(); }
  // After the last call: what stays on the entity's connection.
  void EndScript() {
    for (const auto& [word, setting] : settings_) {
      const std::u16string name = SettingName(word);
      if (word == TsqlWord::kNoExec) {
        if (setting.on) {
          Error(setting.at, u"SET NOEXEC ON queda puesto en la conexión de la entidad: lo que "
                            u"sigue no se ejecuta y se da por bueno");
        }
      } else if (word == TsqlWord::kXactAbort) {
        if (setting.on) {
          Note(setting.at, u"SET XACT_ABORT ON queda puesto en la conexión de la entidad para "
                           u"los scripts que siguen");
        }
      } else if (word != TsqlWord::kImplicitTransactions) {
        Note(setting.at, u"SET " + name +
                             u" queda puesto en la conexión de la entidad para los scripts que "
                             u"siguen");
      }
    }
    if (last_use_) {
      Note(*last_use_, u"USE cambia la base de datos para el resto del script: lo que sigue no "
                       u"corre en la base de la entidad");
    }
  }

  void Comment(const char16_t* begin, const char16_t* end) {
    if (comments_ != nullptr && begin != end && begin >= text_.data() &&
        end <= text_.data() + text_.size()) {
      comments_->emplace_back(Pos(begin), Pos(end));
    }
  }

  void Token(const TsqlToken& t) {
    if (t.kind == TsqlToken::kSymbol && t.text[0] == u';') {
      Flush();
      mode_ = Mode::kNone;
      return;
    }
    const bool first_of_call = tokens_in_call_ == 0;
    ++tokens_in_call_;
    if (!Inner() && (t.kind == TsqlToken::kSqlcmdVariable || t.kind == TsqlToken::kName ||
                     (t.line_start && t.kind == TsqlToken::kSymbol))) {
      Sqlcmd(t);
    }
    if (routine_) return;
    if (mode_ != Mode::kNone && Resolve(t)) return;
    if (t.statement) {
      Statement(t, first_of_call);
      return;
    }
    if (t.kind == TsqlToken::kVariable) {
      UseVariable(t);
    } else if (t.word == TsqlWord::kMemoryOptimized && create_table_) {
      Refused(create_table_at_, u"CREATE TABLE de una tabla optimizada para memoria", u"12331");
      memory_tables_.insert(table_key_);
    }
    if (!call_columns_.empty() && (t.kind == TsqlToken::kWord || t.kind == TsqlToken::kName)) {
      for (AddedColumn& c : call_columns_) {
        if (c.piece >= piece_) continue;
        if (SameName(t.text, c.table_key)) c.table_seen = true;
        if (!c.used_at && SameName(t.text, c.column_key)) c.used_at = Pos(t.text.data());
      }
    }
  }

  void CollectComments(std::vector<std::pair<size_t, size_t>>* comments) { comments_ = comments; }
  // The rest of the call is a routine's body: its statements run later.
  bool Skim() const { return routine_; }

 private:
  enum class Mode {
    kNone, kDdl, kDdlDatabase, kDdlFulltext, kDdlTable, kAlterTable, kAlterAdd, kAlterAddList,
    kRollback, kRollbackTran, kBegin, kSave, kSaveTran, kUse, kDeclareName, kDeclareRest, kSet,
    kSetValue, kBackup, kExec, kExecParen, kExecSql, kDeallocate,
  };
  struct Declared {
    size_t piece;
    size_t at;
  };
  struct AddedColumn {
    std::u16string table, table_key, column, column_key;
    size_t piece, at;
    bool table_seen = false, reported = false;
    std::optional<size_t> used_at;
  };
  struct Setting {
    size_t at;
    bool on;
  };

  // Where a token stands in the script; for an EXEC's text, where the EXEC does.
  size_t Pos(const char16_t* p) const {
    return exec_at_ ? *exec_at_ : static_cast<size_t>(p - text_.data());
  }
  bool Inner() const { return exec_at_.has_value(); }

  void Add(size_t at, Level level, std::u16string text, std::optional<size_t> named) {
    found_->push_back({exec_at_.value_or(at), level, std::move(text), named});
  }
  void Error(size_t at, std::u16string text, std::optional<size_t> named = std::nullopt) {
    if (!Inner()) Add(at, Level::kError, std::move(text), named);
  }
  void Note(size_t at, std::u16string text, std::optional<size_t> named = std::nullopt) {
    if (!Inner()) Add(at, Level::kNote, std::move(text), named);
  }
  // A statement that SQL Server refuses inside a user transaction.
  void Refused(size_t at, const std::u16string& what, const std::u16string& msg) {
    Add(at, Level::kError,
        (Inner() ? u"dentro de EXEC: " : u"") + what +
            u" no se admite dentro de una transacción, y cada script corre en una: SQL Server "
            u"lo rechaza (Msg " +
            msg + u")",
        std::nullopt);
  }

  static std::u16string SettingName(TsqlWord w) {
    switch (w) {
      case TsqlWord::kDateFormat: return u"DATEFORMAT";
      case TsqlWord::kLanguage: return u"LANGUAGE";
      case TsqlWord::kDateFirst: return u"DATEFIRST";
      case TsqlWord::kXactAbort: return u"XACT_ABORT";
      case TsqlWord::kNoExec: return u"NOEXEC";
      default: return u"IMPLICIT_TRANSACTIONS";
    }
  }
  static std::u16string VerbName(TsqlWord w) {
    return w == TsqlWord::kCreate ? u"CREATE" : w == TsqlWord::kAlter ? u"ALTER" : u"DROP";
  }

  // The $(name) inside a bracketed or quoted name (USE [$(Base)]), or an
  // empty view.
  static std::u16string_view SqlcmdVariableIn(std::u16string_view name) {
    for (size_t at = name.find(u"$("); at != std::u16string_view::npos;
         at = name.find(u"$(", at + 2)) {
      size_t end = at + 2;
      while (end < name.size() && tsql_detail::IsWordChar(name[end])) ++end;
      if (end > at + 2 && end < name.size() && name[end] == u')') {
        return name.substr(at, end + 1 - at);
      }
    }
    return {};
  }

  void Sqlcmd(const TsqlToken& t) {
    if (t.kind == TsqlToken::kName) {
      const std::u16string_view variable = SqlcmdVariableIn(t.text);
      if (!variable.empty()) {
        Error(Pos(variable.data()), u"variable de sqlcmd " + std::u16string(variable) +
                                        u" dentro del nombre " + std::u16string(t.text) +
                                        u": la ejecución no la sustituye y el nombre queda "
                                        u"tal cual");
      }
      return;
    }
    if (t.kind == TsqlToken::kSqlcmdVariable) {
      Error(Pos(t.text.data()), u"variable de sqlcmd " + std::u16string(t.text) +
                                    u": la ejecución no la sustituye y SQL Server da error de "
                                    u"sintaxis");
      return;
    }
    if (!t.line_start || t.kind != TsqlToken::kSymbol) return;
    const char16_t* p = t.text.data();
    const bool colon = p[0] == u':' && ((p[1] | 0x20) >= u'a' && (p[1] | 0x20) <= u'z');
    const bool bang = p[0] == u'!' && p[1] == u'!';
    if (!colon && !bang) return;
    size_t end = 1;
    while (p[end] != u'\r' && p[end] != u'\n' && p[end] != 0 && end < 20) ++end;
    Error(Pos(p), u"directiva de sqlcmd (" + std::u16string(p, end) +
                      u"): la ejecución la manda tal cual a la base de datos, que da error de "
                      u"sintaxis");
  }

  void Statement(const TsqlToken& t, bool first_of_call) {
    Flush();
    mode_ = Mode::kNone;
    create_table_ = false;
    verb_ = t.word;
    verb_at_ = Pos(t.text.data());
    verb_first_ = first_of_call;
    statement_paren_ = t.paren;
    switch (t.word) {
      case TsqlWord::kCreate: case TsqlWord::kAlter: case TsqlWord::kDrop:
        mode_ = Mode::kDdl;
        break;
      case TsqlWord::kCommit:
        if (tran_count_ <= 1) {
          Error(verb_at_, u"COMMIT confirma la transacción del script: lo anterior queda "
                          u"aplicado aunque algo falle después");
        } else {
          --tran_count_;
        }
        break;
      case TsqlWord::kRollback: mode_ = Mode::kRollback; break;
      case TsqlWord::kBegin: mode_ = Mode::kBegin; break;
      case TsqlWord::kSave: mode_ = Mode::kSave; break;
      case TsqlWord::kUse: mode_ = Mode::kUse; break;
      case TsqlWord::kDeclare:
        mode_ = Mode::kDeclareName;
        first_declared_ = true;
        break;
      case TsqlWord::kSet: mode_ = Mode::kSet; break;
      case TsqlWord::kBackup: mode_ = Mode::kBackup; break;
      case TsqlWord::kRestore: Refused(verb_at_, u"RESTORE", u"3021"); break;
      case TsqlWord::kReconfigure: Refused(verb_at_, u"RECONFIGURE", u"574"); break;
      case TsqlWord::kExec: case TsqlWord::kExecute: mode_ = Mode::kExec; break;
      case TsqlWord::kDeallocate: mode_ = Mode::kDeallocate; break;
      case TsqlWord::kReturn:
        if (!Inner() && piece_ < call_last_ && !reported_return_) {
          reported_return_ = true;
          Error(verb_at_,
                u"RETURN termina la llamada entera: las piezas que la siguen en la misma llamada "
                u"(desde la línea {línea}) no se ejecutan",
                next_piece_at_);
        }
        break;
      default:
        break;
    }
  }

  // What a pending statement leaves undecided when it ends.
  void Flush() {
    if (mode_ == Mode::kRollback || mode_ == Mode::kRollbackTran) FullRollback();
    if (mode_ == Mode::kExecParen) JudgeExecText();
    if (mode_ == Mode::kDdlTable) TableNamed();
    mode_ = Mode::kNone;
  }

  void FullRollback() {
    mode_ = Mode::kNone;
    Error(verb_at_, u"ROLLBACK deshace la transacción del script entera y la termina: lo que "
                    u"sigue se aplica sin transacción");
  }

  void MustOpenCall(const std::u16string& what) {
    if (!verb_first_) {
      Error(verb_at_, VerbName(verb_) + u" " + what +
                          u" debe ser la primera instrucción de su llamada: SQL Server la "
                          u"rechaza (Msg 111)");
    }
  }

  // The table name of CREATE/ALTER/DROP TABLE is complete.
  void TableNamed() {
    mode_ = Mode::kNone;
    if (verb_ == TsqlWord::kCreate) {
      create_table_ = true;
      create_table_at_ = verb_at_;
      return;
    }
    if (memory_tables_.count(table_key_) > 0) {
      Refused(verb_at_, VerbName(verb_) + u" TABLE de una tabla optimizada para memoria",
              u"12331");
    }
    if (verb_ == TsqlWord::kAlter) mode_ = Mode::kAlterTable;
  }

  // Whether `t` belongs to the statement in progress.
  bool Resolve(const TsqlToken& t) {
    switch (mode_) {
      case Mode::kNone:
        return false;
      case Mode::kDdl:
        if (t.word == TsqlWord::kOr || (t.word == TsqlWord::kAlter && !t.statement)) return true;
        mode_ = Mode::kNone;
        switch (t.word) {
          case TsqlWord::kSchema: case TsqlWord::kRule: case TsqlWord::kDefault:
            if (verb_ == TsqlWord::kCreate) MustOpenCall(std::u16string(t.text));
            return true;
          case TsqlWord::kProc: case TsqlWord::kProcedure: case TsqlWord::kFunction:
          case TsqlWord::kTrigger: case TsqlWord::kView:
            if (verb_ != TsqlWord::kDrop) {
              MustOpenCall(std::u16string(t.text));
              routine_ = !Inner();  // the body runs to the end of the call
            }
            return true;
          case TsqlWord::kDatabase: mode_ = Mode::kDdlDatabase; return true;
          case TsqlWord::kFulltext: mode_ = Mode::kDdlFulltext; return true;
          case TsqlWord::kTable:
            mode_ = Mode::kDdlTable;
            table_key_.clear();
            name_part_next_ = true;
            return true;
          default:
            return false;
        }
      case Mode::kDdlDatabase:
        mode_ = Mode::kNone;
        if (t.word == TsqlWord::kAudit || t.word == TsqlWord::kScoped ||
            t.word == TsqlWord::kEncryption) {
          return true;
        }
        Refused(verb_at_, VerbName(verb_) + u" DATABASE", u"226");
        if (verb_ == TsqlWord::kCreate && IsNamePart(t)) {
          KeyOf(t.text, &key_);
          call_databases_.emplace(key_, verb_at_);
        }
        return true;
      case Mode::kDdlFulltext:
        mode_ = Mode::kNone;
        if (t.word == TsqlWord::kCatalog || t.word == TsqlWord::kIndex) {
          Refused(verb_at_, VerbName(verb_) + u" FULLTEXT " + std::u16string(t.text), u"574");
        }
        return true;
      case Mode::kDdlTable:
        if (name_part_next_ && IsNamePart(t)) {
          KeyOf(t.text, &table_key_);
          table_name_ = t.text;
          name_part_next_ = false;
          return true;
        }
        if (!name_part_next_ && IsSymbol(t, u'.')) {
          name_part_next_ = true;
          return true;
        }
        TableNamed();
        return Resolve(t);
      case Mode::kAlterTable:
        if (t.word == TsqlWord::kAdd && t.paren == statement_paren_) {
          mode_ = Mode::kAlterAdd;
          return true;
        }
        return false;
      case Mode::kAlterAdd:
        mode_ = Mode::kNone;
        if (!IsNamePart(t)) return false;
        switch (t.word) {
          case TsqlWord::kConstraint: case TsqlWord::kPrimary: case TsqlWord::kForeign:
          case TsqlWord::kUnique: case TsqlWord::kCheck: case TsqlWord::kIndex:
          case TsqlWord::kPeriod: case TsqlWord::kDefault:
            return true;
          default:
            break;
        }
        if (!Inner()) {
          AddedColumn c;
          c.table = table_name_;
          c.table_key = table_key_;
          c.column = t.text;
          KeyOf(t.text, &c.column_key);
          c.piece = piece_;
          c.at = verb_at_;
          call_columns_.push_back(std::move(c));
        }
        mode_ = Mode::kAlterAddList;
        return true;
      case Mode::kAlterAddList:
        if (IsSymbol(t, u',') && t.paren == statement_paren_) {
          mode_ = Mode::kAlterAdd;
          return true;
        }
        return false;
      case Mode::kRollback:
        if (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction) {
          mode_ = Mode::kRollbackTran;
          return true;
        }
        FullRollback();
        return t.word == TsqlWord::kWork;
      case Mode::kRollbackTran:
        mode_ = Mode::kNone;
        if (IsNamePart(t) || t.kind == TsqlToken::kVariable) {
          KeyOf(t.text, &key_);
          if (savepoints_.count(key_) == 0) FullRollback();
          return true;
        }
        FullRollback();
        return false;
      case Mode::kBegin:
        mode_ = Mode::kNone;
        if (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction ||
            t.word == TsqlWord::kDistributed) {
          ++tran_count_;
          return true;
        }
        return false;
      case Mode::kSave:
        mode_ = Mode::kNone;
        if (t.word == TsqlWord::kTran || t.word == TsqlWord::kTransaction) {
          mode_ = Mode::kSaveTran;
          return true;
        }
        return false;
      case Mode::kSaveTran:
        mode_ = Mode::kNone;
        if (IsNamePart(t) || t.kind == TsqlToken::kVariable) {
          KeyOf(t.text, &key_);
          savepoints_.insert(key_);
          return true;
        }
        return false;
      case Mode::kUse:
        mode_ = Mode::kNone;
        if (!IsNamePart(t)) return false;
        KeyOf(t.text, &key_);
        if (auto it = call_databases_.find(key_); it != call_databases_.end()) {
          Error(verb_at_,
                u"USE " + std::u16string(t.text) +
                    u" de una base de datos creada en la misma llamada (línea {línea}): SQL "
                    u"Server rechaza la llamada (Msg 911)",
                it->second);
        }
        if (!Inner()) last_use_ = verb_at_;
        return true;
      case Mode::kDeclareName:
        mode_ = Mode::kDeclareRest;
        declare_paren_ = t.paren;
        if (t.kind == TsqlToken::kVariable) {
          Declare(t, call_vars_, u"la variable ", u"134");
          if (!Inner()) {
            KeyOf(t.text, &key_);
            script_vars_.try_emplace(key_, Declared{call_, Pos(t.text.data())});
          }
          return true;
        }
        if (first_declared_ && IsNamePart(t)) {
          Declare(t, call_cursors_, u"el cursor ", u"16915");
          return true;
        }
        return false;
      case Mode::kDeclareRest:
        if (IsSymbol(t, u',') && t.paren == declare_paren_) {
          mode_ = Mode::kDeclareName;
          first_declared_ = false;
          return true;
        }
        return false;
      case Mode::kSet:
        mode_ = Mode::kNone;
        switch (t.word) {
          case TsqlWord::kDateFormat: case TsqlWord::kLanguage: case TsqlWord::kDateFirst:
          case TsqlWord::kXactAbort: case TsqlWord::kNoExec:
          case TsqlWord::kImplicitTransactions:
            setting_ = t.word;
            mode_ = Mode::kSetValue;
            return true;
          default:
            return false;
        }
      case Mode::kSetValue:
        mode_ = Mode::kNone;
        if (Inner()) return true;
        if (setting_ == TsqlWord::kImplicitTransactions && t.word == TsqlWord::kOff) {
          Error(verb_at_, u"SET IMPLICIT_TRANSACTIONS OFF: con un controlador que mantiene la "
                          u"transacción mediante transacciones implícitas, lo que sigue ya no "
                          u"se deshace si algo falla");
        }
        settings_[setting_] = Setting{verb_at_, t.word == TsqlWord::kOn};
        return true;
      case Mode::kBackup:
        mode_ = Mode::kNone;
        if (t.word == TsqlWord::kDatabase || t.word == TsqlWord::kLog) {
          Refused(verb_at_, u"BACKUP", u"3021");
          return true;
        }
        return false;
      case Mode::kDeallocate:
        // A cursor given up may be declared again.
        mode_ = Mode::kNone;
        if (!IsNamePart(t)) return false;
        KeyOf(t.text, &key_);
        call_cursors_.erase(key_);
        return true;
      case Mode::kExec:
        mode_ = Mode::kNone;
        if (IsSymbol(t, u'(')) {
          mode_ = Mode::kExecParen;
          exec_text_.clear();
          return true;
        }
        // EXEC [sys.]sp_executesql N'…': its first argument is run the same way.
        if (t.kind == TsqlToken::kWord && (IsWord(t, u"sys") || IsWord(t, u"dbo"))) {
          mode_ = Mode::kExec;
          return true;
        }
        if (IsSymbol(t, u'.')) {
          mode_ = Mode::kExec;
          return true;
        }
        if (t.kind == TsqlToken::kWord && IsWord(t, u"sp_executesql")) {
          mode_ = Mode::kExecSql;
          exec_text_.clear();
          return true;
        }
        return false;
      case Mode::kExecSql:
        // The statement's literal, named (@stmt = N'…') or not.
        if (t.kind == TsqlToken::kVariable || IsSymbol(t, u'=')) return true;
        mode_ = Mode::kNone;
        if (t.kind != TsqlToken::kString) return false;
        AppendLiteral(t.text);
        JudgeExecText();
        return true;
      case Mode::kExecParen:
        if (t.kind == TsqlToken::kString) {
          AppendLiteral(t.text);
          return true;
        }
        if (IsSymbol(t, u'+')) return true;
        JudgeExecText();
        mode_ = Mode::kNone;
        return IsSymbol(t, u')');
    }
    return false;
  }

  void Declare(const TsqlToken& t, std::unordered_map<std::u16string, Declared>& declared,
               const char16_t* what, const char16_t* msg) {
    if (Inner()) return;
    KeyOf(t.text, &key_);
    const auto [it, inserted] = declared.try_emplace(key_, Declared{piece_, Pos(t.text.data())});
    if (!inserted) {
      Error(Pos(t.text.data()),
            what + std::u16string(t.text) +
                u" ya se declaró en la línea {línea}, en la misma llamada: SQL Server lo "
                u"rechaza (Msg " +
                msg + u")",
            it->second.at);
      it->second = Declared{piece_, Pos(t.text.data())};
    }
  }

  void UseVariable(const TsqlToken& t) {
    if (Inner() || script_vars_.empty()) return;
    KeyOf(t.text, &key_);
    if (reported_uses_.count(key_) > 0) return;
    if (auto it = call_vars_.find(key_); it != call_vars_.end()) {
      if (it->second.piece < piece_) {
        reported_uses_.insert(key_);
        Note(Pos(t.text.data()),
             u"la variable " + std::u16string(t.text) +
                 u" se declara en otra pieza (línea {línea}): funciona solo mientras ambas "
                 u"piezas vayan en la misma llamada",
             it->second.at);
      }
      return;
    }
    if (auto it = script_vars_.find(key_); it != script_vars_.end() && it->second.piece < call_) {
      reported_uses_.insert(key_);
      Error(Pos(t.text.data()),
            u"la variable " + std::u16string(t.text) +
                u" se declaró en una llamada anterior (línea {línea}): en esta no existe (Msg "
                u"137)",
            it->second.at);
    }
  }

  // Adds a string literal's text to the EXEC text: quotes off, '' undoubled.
  void AppendLiteral(std::u16string_view s) {
    if (!s.empty() && (s[0] == u'N' || s[0] == u'n')) s.remove_prefix(1);
    s = s.substr(1, s.size() >= 2 ? s.size() - 2 : 0);
    for (size_t k = 0; k < s.size(); ++k) {
      exec_text_ += s[k];
      if (s[k] == u'\'' && k + 1 < s.size() && s[k + 1] == u'\'') ++k;
    }
  }

  void JudgeExecText() {
    mode_ = Mode::kNone;
    if (exec_text_.empty()) return;
    std::u16string code = std::move(exec_text_);
    exec_text_.clear();
    Judge inner(*this, exec_at_.value_or(verb_at_));
    TsqlReader reader;
    reader.Read(code, inner);
    inner.Flush();
  }

  std::u16string_view text_;
  std::vector<Found>* found_;
  std::optional<size_t> exec_at_;  // for the judge of an EXEC's text
  std::vector<std::pair<size_t, size_t>>* comments_ = nullptr;

  // The script.
  int32_t tran_count_ = 1;  // the run's transaction
  std::unordered_set<std::u16string> savepoints_;
  std::unordered_set<std::u16string> memory_tables_;
  std::unordered_map<std::u16string, Declared> script_vars_;  // piece holds the call
  std::unordered_map<TsqlWord, Setting> settings_;
  std::optional<size_t> last_use_;
  size_t call_ = 0;

  // The call.
  size_t call_last_ = 0;
  size_t next_piece_at_ = 0;
  size_t tokens_in_call_ = 0;
  bool routine_ = false;
  bool reported_return_ = false;
  std::unordered_map<std::u16string, Declared> call_vars_, call_cursors_;
  std::unordered_map<std::u16string, size_t> call_databases_;
  std::vector<AddedColumn> call_columns_;
  std::unordered_set<std::u16string> reported_uses_;

  // The piece and the statement.
  size_t piece_ = 0;
  Mode mode_ = Mode::kNone;
  TsqlWord verb_ = TsqlWord::kOther;
  size_t verb_at_ = 0;
  bool verb_first_ = false;
  int32_t statement_paren_ = 0;
  int32_t declare_paren_ = 0;
  bool first_declared_ = false;
  bool name_part_next_ = false;
  bool create_table_ = false;
  size_t create_table_at_ = 0;
  std::u16string table_key_;
  std::u16string table_name_;
  TsqlWord setting_ = TsqlWord::kOther;
  std::u16string exec_text_;
  std::u16string key_;  // reused for lookups
};

// The first token of a text other than ';'.
struct FirstToken {
  const char16_t* at = nullptr;
  std::vector<std::pair<size_t, size_t>>* comments = nullptr;
  const char16_t* base = nullptr;
  bool Skim() const { return false; }
  void Token(const TsqlToken& t) {
    if (at == nullptr && !(t.kind == TsqlToken::kSymbol && t.text[0] == u';')) at = t.text.data();
  }
  void Comment(const char16_t* b, const char16_t* e) {
    if (comments != nullptr) comments->emplace_back(b - base, e - base);
  }
};

// What the rest of a GO line (the head of the next piece) does.
void JudgeGoLine(std::u16string_view text, std::u16string_view piece, std::vector<Found>* found) {
  const size_t go = static_cast<size_t>(piece.data() - text.data()) - 2;
  const std::u16string go_text(text.substr(go, 2));
  if (!piece.empty() && IsIdentifierChar(piece.front())) {
    size_t end = 0;
    while (end < piece.size() && end < 30 && IsIdentifierChar(piece[end])) ++end;
    found->push_back({go, Level::kError,
                      u"la línea empieza con \"" + go_text + std::u16string(piece.substr(0, end)) +
                          u"\": separa como un GO, en medio de lo que sea parte",
                      std::nullopt});
    return;
  }
  size_t i = 0;
  while (i < piece.size() && (piece[i] == u' ' || piece[i] == u'\t')) ++i;
  if (i < piece.size() && piece[i] >= u'0' && piece[i] <= u'9') {
    size_t end = i;
    while (end < piece.size() && piece[end] >= u'0' && piece[end] <= u'9') ++end;
    found->push_back({go, Level::kError,
                      go_text + u" " + std::u16string(piece.substr(i, end - i)) +
                          u": la ejecución no repite el lote; el número queda al principio de la "
                          u"pieza siguiente y SQL Server da error de sintaxis",
                      std::nullopt});
  } else if (i < piece.size() && piece[i] == u';') {
    found->push_back({go, Level::kNote,
                      go_text + u";: el ; queda al principio de la pieza siguiente, donde no hace "
                                u"daño",
                      std::nullopt});
  }
}

// A GO line that the cut takes out of a comment or a string.
void JudgeGoInside(std::u16string_view text, const TsqlReader& reader, size_t go, bool call_ends,
                   std::vector<Found>* found) {
  const size_t opened = static_cast<size_t>(reader.opened_at() - text.data());
  if (reader.open() == TsqlOpen::kBlockComment) {
    if (call_ends) {
      found->push_back({go, Level::kError,
                        u"línea GO dentro de un comentario /* abierto en la línea {línea}: la "
                        u"llamada termina dentro del comentario y la ejecución la rechaza",
                        opened});
    } else {
      found->push_back({go, Level::kNote,
                        u"línea GO dentro de un comentario /* abierto en la línea {línea}: el "
                        u"corte lo parte, pero ambas mitades van en la misma llamada",
                        opened});
    }
    return;
  }
  found->push_back({go, Level::kError,
                    std::u16string(reader.open() == TsqlOpen::kString
                                       ? u"línea GO dentro de un texto entre comillas"
                                       : u"línea GO dentro de un nombre entre delimitadores") +
                        u" abierto en la línea {línea}: el corte lo parte" +
                        (call_ends ? u" y la ejecución rechaza la llamada" : u" y el GO se pierde"),
                    opened});
}

// GO after blanks or on the file's first line: no separator.
struct IndentedGo {
  std::u16string_view text;
  std::vector<Found>* found;
  void Token(const TsqlToken& t) {
    if (t.word != TsqlWord::kGo || !t.line_start) return;
    const size_t at = static_cast<size_t>(t.text.data() - text.data());
    if (at == 0) {
      found->push_back({at, Level::kError, u"GO en la primera línea del archivo: no separa",
                        std::nullopt});
    } else if (text[at - 1] == u' ' || text[at - 1] == u'\t') {
      found->push_back({at, Level::kError, u"GO con blancos delante: no separa", std::nullopt});
    }
  }
  void Comment(const char16_t*, const char16_t*) {}
};

// Both visitors at once.
template <class A, class B>
struct Both {
  A& a;
  B& b;
  bool Skim() const { return a.Skim(); }
  void Token(const TsqlToken& t) {
    a.Token(t);
    b.Token(t);
  }
  void Comment(const char16_t* x, const char16_t* y) {
    a.Comment(x, y);
    b.Comment(x, y);
  }
};

// Code unit -> the byte of the ANSI code page it was read from, for the
// units of bytes 0x80 to 0xFF.
class AnsiBytes {
 public:
  AnsiBytes() : byte_(std::make_unique<std::array<uint8_t, 0x10000>>()) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      const char byte = static_cast<char>(b);
      char16_t unit = 0;
      size_t read = 0;
      if (DecodeAnsiCodePage(std::string_view(&byte, 1), true, &unit, &read) == 1) {
        (*byte_)[unit] = static_cast<uint8_t>(b);
      }
    }
  }
  // 0 when no byte past ASCII gives `unit`.
  uint8_t ByteOf(char16_t unit) const { return (*byte_)[unit]; }

 private:
  std::unique_ptr<std::array<uint8_t, 0x10000>> byte_;
};

// UTF-8 read as the ANSI code page: where its multi-byte characters stand
// outside comments, and where bytes that are no UTF-8 stand.
void JudgeEncoding(std::u16string_view text, std::vector<std::pair<size_t, size_t>> comments,
                   std::vector<Found>* found) {
  static const AnsiBytes ansi;
  if (!std::is_sorted(comments.begin(), comments.end())) std::sort(comments.begin(), comments.end());
  std::optional<size_t> utf8_outside, not_utf8;
  size_t c = 0;
  for (size_t i = 0; i < text.size();) {
    // Four ASCII code units at a time.
    uint64_t four = 0;
    if (text.size() - i >= 4) std::memcpy(&four, text.data() + i, sizeof four);
    if (text.size() - i >= 4 && (four & 0xFF80FF80FF80FF80u) == 0) {
      i += 4;
      continue;
    }
    if (text[i] < 0x80) {
      ++i;
      continue;
    }
    uint8_t b[4] = {ansi.ByteOf(text[i]), 0, 0, 0};
    const size_t length = b[0] >= 0xC2 && b[0] <= 0xDF   ? 2
                          : b[0] >= 0xE0 && b[0] <= 0xEF ? 3
                          : b[0] >= 0xF0 && b[0] <= 0xF4 ? 4
                                                         : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      b[k] = ansi.ByteOf(text[i + k]);
      valid = (b[k] & 0xC0) == 0x80;
    }
    if (valid && ((b[0] == 0xE0 && b[1] < 0xA0) || (b[0] == 0xED && b[1] >= 0xA0) ||
                  (b[0] == 0xF0 && b[1] < 0x90) || (b[0] == 0xF4 && b[1] >= 0x90))) {
      valid = false;
    }
    if (!valid) {
      if (!not_utf8) not_utf8 = i;
      ++i;
      continue;
    }
    while (c < comments.size() && comments[c].second <= i) ++c;
    const bool in_comment = c < comments.size() && comments[c].first <= i;
    if (!in_comment && !utf8_outside) utf8_outside = i;
    i += length;
  }
  if (!utf8_outside) return;
  if (not_utf8) {
    found->push_back({*utf8_outside, Level::kError,
                      u"el archivo mezcla UTF-8 y Windows-1252 (línea {línea}): se lee entero como "
                      u"Windows-1252 y lo escrito en UTF-8 saldrá mal",
                      *not_utf8});
  } else {
    found->push_back({*utf8_outside, Level::kError,
                      u"el archivo es UTF-8 sin marca de orden de bytes: se lee como Windows-1252 "
                      u"y sus acentos saldrán mal",
                      std::nullopt});
  }
}

// Whether every code unit of `text` is ASCII, four at a time.
bool IsAscii(std::u16string_view text) {
  size_t i = 0;
  uint64_t any = 0;
  for (; text.size() - i >= 4; i += 4) {
    uint64_t four;
    std::memcpy(&four, text.data() + i, sizeof four);
    any |= four;
  }
  for (; i < text.size(); ++i) any |= text[i];
  return (any & 0xFF80FF80FF80FF80u) == 0;
}

// Where `piece` starts to hold anything but blanks (its start when nothing).
size_t FirstNonBlank(std::u16string_view text, std::u16string_view piece) {
  size_t i = 0;
  while (i < piece.size() && (piece[i] == u' ' || piece[i] == u'\t' || piece[i] == u'\r' ||
                              piece[i] == u'\n')) {
    ++i;
  }
  return static_cast<size_t>(piece.data() - text.data()) + (i < piece.size() ? i : 0);
}

void Judged(const std::u16string& path, int32_t pieces_per_call, ScriptCheck* out,
            std::vector<Found>* found, std::u16string* text_out) {
  std::optional<TextEncoding> encoding;
  std::u16string& text = *text_out;
  text = ReadScriptTextDirect(path, &encoding);
  const std::vector<std::u16string_view> pieces = CutIntoPieces(text);
  const std::vector<PieceGroup> groups = GroupPieces(pieces, pieces_per_call);
  out->pieces = pieces.size();
  out->groups = LinesOfGroups(text, pieces, groups);

  const bool past_ascii = encoding == TextEncoding::kAnsiCodePage && !IsAscii(text);
  std::vector<std::pair<size_t, size_t>> comments;

  Judge judge(text, found);
  if (past_ascii) judge.CollectComments(&comments);
  IndentedGo indented{text, found};
  Both<Judge, IndentedGo> both{judge, indented};
  bool boundary_open = false;
  for (const PieceGroup& group : groups) {
    judge.StartCall(group);
    TsqlReader reader;
    for (size_t k = group.first; k <= group.last; ++k) {
      judge.StartPiece(k, FirstNonBlank(text, pieces[k + 1]));
      // The rest of the GO line before the piece, unless a comment or string holds it.
      const bool inside = k == group.first ? boundary_open : reader.open() != TsqlOpen::kNothing;
      if (k > 0 && !inside) JudgeGoLine(text, pieces[k], found);
      reader.Read(pieces[k], both);
      judge.EndPiece();
      const size_t go = static_cast<size_t>(pieces[k + 1].data() - text.data()) - 2;
      if (k < group.last) {
        if (reader.open() != TsqlOpen::kNothing) JudgeGoInside(text, reader, go, false, found);
        reader.Read(u"\r\n", both);
      } else {
        boundary_open = reader.open() != TsqlOpen::kNothing;
        if (boundary_open) JudgeGoInside(text, reader, go, true, found);
      }
    }
    judge.EndCall();
  }
  judge.EndScript();

  // The final piece, which never runs.
  FirstToken first;
  first.base = text.data();
  if (past_ascii) first.comments = &comments;
  TsqlReader tail_reader;
  const std::u16string_view tail = pieces.empty() ? std::u16string_view() : pieces.back();
  Both<FirstToken, IndentedGo> tail_both{first, indented};
  tail_reader.Read(tail, tail_both);
  if (pieces.size() >= 2) {
    if (!boundary_open) JudgeGoLine(text, tail, found);
    if (first.at != nullptr && !boundary_open) {
      found->push_back({static_cast<size_t>(first.at - text.data()), Level::kError,
                        u"texto después del último GO: nunca se ejecuta", std::nullopt});
    }
  } else if (first.at != nullptr) {
    found->push_back({static_cast<size_t>(first.at - text.data()), Level::kError,
                      u"no hay ningún GO que separe: no se ejecuta nada", std::nullopt});
  }
  if (past_ascii) JudgeEncoding(text, std::move(comments), found);
}

}  // namespace

ScriptCheck CheckScript(const std::u16string& path, int32_t pieces_per_call) {
  ScriptCheck out;
  std::vector<Found> found;
  std::u16string text;
  try {
    Judged(path, pieces_per_call, &out, &found, &text);
  } catch (const NumberedError& e) {
    out = ScriptCheck();
    out.findings.push_back({0, Level::kError, u"no se puede leer: " + e.description()});
    return out;
  } catch (const std::bad_alloc&) {
    out = ScriptCheck();
    out.findings.push_back(
        {0, Level::kError, u"no cabe en la memoria disponible: no se pudo revisar"});
    return out;
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.at < b.at; });
  // Every place's line, counted in one pass over the text.
  std::vector<size_t> places;
  for (const Found& f : found) {
    places.push_back(f.at);
    if (f.named) places.push_back(*f.named);
  }
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  std::vector<int32_t> place_lines;
  LineCounter lines(text);
  for (size_t at : places) place_lines.push_back(lines.LineAt(at));
  auto line_of = [&](size_t at) {
    return place_lines[static_cast<size_t>(std::lower_bound(places.begin(), places.end(), at) -
                                           places.begin())];
  };
  static constexpr std::u16string_view kNamedLine = u"{línea}";
  for (Found& f : found) {
    if (f.named) {
      const size_t mark = f.text.find(kNamedLine);
      if (mark != std::u16string::npos) {
        f.text.replace(mark, kNamedLine.size(), ToDecimal(line_of(*f.named)));
      }
    }
    out.findings.push_back({line_of(f.at), f.level, std::move(f.text)});
  }
  return out;
}

}  // namespace corvalen
