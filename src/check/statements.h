// The statement model that every rule family of --check stands on: the
// tokens of each call (tsql/tsql_reader.h) grouped into statements, each
// with what the run can reach there, fed to the families in text order.
// A family is a small class with the state it needs (Rules); the stream
// knows calls, pieces, statements, routine bodies and error-only code.
#ifndef CORVALEN_CHECK_STATEMENTS_H_
#define CORVALEN_CHECK_STATEMENTS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "check/findings.h"
#include "check/reachability.h"
#include "tsql/tsql_reader.h"

namespace corvalen {

struct CallInfo {
  size_t index = 0;  // from 1
  size_t first_piece = 0;
  size_t last_piece = 0;
};

struct PieceInfo {
  size_t index = 0;
  size_t next_at = 0;  // where the piece after it starts to hold anything
};

// The statement a token belongs to.
struct StatementInfo {
  TsqlWord verb = TsqlWord::kOther;  // kOther: a call without EXEC, a label, stray tokens
  size_t at = 0;                     // its first token's place
  size_t index = 0;                  // the token's place in the statement, 0 for the first
  bool first_of_call = false;
  // It runs only on the way to a failure that the run reports and undoes:
  // in a CATCH block or a branch whose condition holds only after an error.
  bool error_only = false;
  int32_t paren = 0;  // open parentheses before its first token
  bool semicolon = false;  // at EndStatement: it ended at its own ';'
  // The statement before, in the same call, had not ended by ';' when this
  // one started; its verb (kBegin, kElse, kIf, ... for the heads of blocks).
  bool after_unended = false;
  TsqlWord previous_verb = TsqlWord::kOther;
};

// A rule family. Every hook has a default that does nothing.
class Rules {
 public:
  Rules() = default;
  Rules(const Rules&) = delete;
  Rules& operator=(const Rules&) = delete;
  virtual ~Rules() = default;

  // Whether the family wants the tokens of the statement that starts; asked
  // at each statement's first token.
  virtual bool Wants(const StatementInfo&) { return true; }
  // Which tokens it wants of every statement besides: bits 1 << kind, and
  // kLineStarts for the first token of each line.
  static constexpr uint32_t kLineStarts = 1u << 8;
  virtual uint32_t Watches() const { return 0; }

  virtual void StartCall(const CallInfo&) {}
  virtual void StartPiece(const PieceInfo&) {}
  // The tokens it wants (above), outside routine bodies, but ';'.
  virtual void Token(const TsqlToken&, const StatementInfo&) {}
  // After a statement's last token (at ';', the next statement or the call's end).
  virtual void EndStatement(const StatementInfo&) {}
  // The tokens of a routine's body (the rest of its call), skimmed: kind,
  // text, line_start and the word kGo only.
  virtual void BodyToken(const TsqlToken&) {}
  virtual void EndPiece() {}
  virtual void EndCall() {}
  virtual void EndScript() {}
};

// TsqlReader's visitor for the calls of one script (or one EXEC's text).
class StatementStream {
 public:
  StatementStream(const Reporter& reporter, std::vector<Rules*> rules);
  StatementStream(const StatementStream&) = delete;
  StatementStream& operator=(const StatementStream&) = delete;

  void StartCall(const CallInfo& call);
  void StartPiece(const PieceInfo& piece);
  void EndPiece();
  void EndCall();
  void EndScript();

  // The rest of a call after CREATE/ALTER PROCEDURE, FUNCTION, TRIGGER or
  // VIEW is the routine's body: its statements run when it runs.
  bool Skim() const { return routine_; }
  void Token(const TsqlToken& t);
  void Comment(const char16_t*, const char16_t*) {}

 private:
  void EndStatement();
  void WatchRoutine(const TsqlToken& t);

  const Reporter& reporter_;
  std::vector<Rules*> rules_;
  // Bits by family (at most 32): the families that want the statement in
  // progress, and those that watch tokens of each kind, at a line's start
  // or not.
  uint32_t wanting_ = 0;
  uint32_t watching_[2][8] = {};
  Reachability reach_;
  StatementInfo statement_;
  bool open_ = false;
  size_t tokens_in_call_ = 0;
  bool routine_ = false;
  bool routine_kind_next_ = false;
};

// The most names (variables, cursors, savepoints, tables, databases) a
// family follows in one map: beyond it, hostile input would make the memory
// grow with the file; a real script stays far below.
inline constexpr size_t kMaxNamesFollowed = 4096;

// Name helpers shared by the families.
// A name as SQL Server compares it by default: quotes and brackets off,
// letter case ignored (ASCII), into `*key`.
void KeyOf(std::u16string_view name, std::u16string* key);
bool SameName(std::u16string_view name, const std::u16string& key);
// A word that is no statement keyword where it stands, or a quoted name.
bool IsNamePart(const TsqlToken& t);

// The parts of a qualified name (`db.schema.table`), token by token.
class NameReader {
 public:
  // Whether `t` belongs to the name; the last part read is its key.
  bool Feed(const TsqlToken& t);
  const std::u16string& key() const { return key_; }
  std::u16string_view last() const { return last_; }
  void Reset() { key_.clear(); last_ = {}; part_next_ = true; }

 private:
  std::u16string key_;
  std::u16string_view last_;
  bool part_next_ = true;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_STATEMENTS_H_
