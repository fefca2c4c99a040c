// GO lines that do not do what they seem: the run cuts a script at each
// line that begins with "GO" (tsql/script_text.h) and sends nothing of the
// line's rest but as the head of the next piece.
#ifndef CORVALEN_CHECK_GO_LINES_H_
#define CORVALEN_CHECK_GO_LINES_H_

#include <string_view>

#include "check/findings.h"
#include "check/statements.h"
#include "tsql/tsql_reader.h"

namespace corvalen {

// What the rest of the GO line before `piece` does: "GO" followed by more
// letters (it separates all the same: error), GO n (the count heads the
// next piece: error), GO; (a note: the ';' is harmless).
void JudgeGoLine(std::u16string_view text, std::u16string_view piece, FoundList* found);

// A GO line that the cut takes out of the comment, string or quoted name
// that `reader` is inside of; `call_ends`: the call ends there (the run
// refuses a call that ends inside one).
void JudgeGoInside(std::u16string_view text, const TsqlReader& reader, size_t go, bool call_ends,
                   FoundList* found);

// GO after blanks (it does not separate) or on the file's first line (it
// does not separate, and SQL Server reads it as a call of a procedure named
// GO): errors. Fed every token, routine bodies' too.
class IndentedGo : public Rules {
 public:
  IndentedGo(std::u16string_view text, FoundList* found) : text_(text), found_(found) {}
  bool Wants(const StatementInfo&) override { return false; }
  uint32_t Watches() const override { return kLineStarts; }
  void Token(const TsqlToken& t, const StatementInfo&) override { Check(t); }
  void BodyToken(const TsqlToken& t) override { Check(t); }
  void Check(const TsqlToken& t);

 private:
  std::u16string_view text_;
  FoundList* found_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_GO_LINES_H_
