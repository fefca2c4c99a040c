// Variables and cursors: they live for one call (one batch to SQL Server).
#ifndef CORVALEN_CHECK_DECLARATION_RULES_H_
#define CORVALEN_CHECK_DECLARATION_RULES_H_

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "check/statements.h"

namespace corvalen {

// Errors: a variable declared twice in one call (Msg 134); a cursor
// declared again without DEALLOCATE in between (Msg 16915): in the same
// call, or in a later one for a global cursor (the default; LOCAL ones end
// with their call); a variable used in a call after the one that declared
// it (Msg 137). Notes: a variable declared in one piece and used in a later
// one of the same call (it works only while both share a call); a global
// cursor left declared at the script's end.
class DeclarationRules : public Rules {
 public:
  explicit DeclarationRules(Reporter& reporter) : reporter_(reporter) {}

  bool Wants(const StatementInfo& s) override {
    return s.verb == TsqlWord::kDeclare || s.verb == TsqlWord::kDeallocate;
  }
  uint32_t Watches() const override { return 1u << TsqlToken::kVariable; }
  void StartCall(const CallInfo& call) override;
  void StartPiece(const PieceInfo& piece) override { piece_ = piece.index; }
  void Token(const TsqlToken& t, const StatementInfo& s) override;
  void EndStatement(const StatementInfo& s) override;
  void EndScript() override;

 private:
  struct Declared {
    size_t piece;  // for the script's variables: the call
    size_t at;
  };
  void Declare(const TsqlToken& t, std::unordered_map<std::u16string, Declared>& declared,
               const char16_t* what, const char16_t* msg);
  void Use(const TsqlToken& t);
  void DeclareCursor();

  Reporter& reporter_;
  size_t call_ = 0;
  size_t piece_ = 0;
  std::unordered_map<std::u16string, Declared> script_vars_;
  std::unordered_map<std::u16string, Declared> call_vars_, call_cursors_;
  struct GlobalCursor {
    size_t call, at;
    std::u16string name;
  };
  std::unordered_map<std::u16string, GlobalCursor> global_cursors_;
  // DECLARE name CURSOR ...: the name, until FOR or the statement's end
  // tells whether it is LOCAL.
  std::u16string cursor_, cursor_text_;
  size_t cursor_at_ = 0;
  bool cursor_local_ = false;
  std::unordered_set<std::u16string> reported_uses_;
  // DECLARE: a name comes next (at the start, and after ',' at its level).
  bool name_next_ = false;
  bool first_name_ = false;
  std::u16string key_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_DECLARATION_RULES_H_
