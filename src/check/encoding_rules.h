// Text that the run will read in another encoding than it was written in.
// Only for files read in the ANSI code page (no byte-order mark) that hold
// more than ASCII; comments do not count, since nothing of them is stored.
#ifndef CORVALEN_CHECK_ENCODING_RULES_H_
#define CORVALEN_CHECK_ENCODING_RULES_H_

#include <optional>
#include <string_view>

#include "check/findings.h"
#include "check/statements.h"

namespace corvalen {

// Errors: UTF-8 without a byte-order mark where its characters stand
// outside comments, also in a file partly in each. Note: 8-bit text plainly
// in another code page (runs of four or more letters of the accented Latin
// range with no ASCII letter among them: Cyrillic or Greek read through
// Windows-1252), naming the likely code page and the first line whose
// stored data it damages. Fed every token outside comments (Observe).
class EncodingRules : public Rules {
 public:
  EncodingRules(std::u16string_view text, FoundList* found) : text_(text), found_(found) {}

  void Token(const TsqlToken& t, const StatementInfo&) override { Observe(t); }
  void BodyToken(const TsqlToken& t) override { Observe(t); }
  void Observe(const TsqlToken& t);
  // After the whole text was read.
  void Finish();

 private:
  std::u16string_view text_;
  FoundList* found_;
  std::optional<size_t> utf8_outside_;  // a UTF-8 sequence outside comments
  std::optional<size_t> foreign_run_;   // a run of accented letters in a string or name
};

// Error: a string literal without N ('...', not N'...') holding characters
// that Windows-1252 lacks, in a file read as Unicode (with a byte-order
// mark): SQL Server converts such a literal to the database's code page and
// they become '?'. Routine bodies included, EXEC's text not (its literal is
// the EXEC's own).
class NarrowLiterals : public Rules {
 public:
  explicit NarrowLiterals(Reporter& reporter) : reporter_(reporter) {}

  uint32_t Watches() const override { return 1u << TsqlToken::kString; }
  // Messages (PRINT, RAISERROR, THROW) only show it: not judged.
  void Token(const TsqlToken& t, const StatementInfo& s) override {
    if (s.verb != TsqlWord::kPrint && s.verb != TsqlWord::kRaiserror && s.verb != TsqlWord::kThrow) {
      Observe(t);
    }
  }
  void BodyToken(const TsqlToken& t) override { Observe(t); }
  void Observe(const TsqlToken& t);

 private:
  Reporter& reporter_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_ENCODING_RULES_H_
