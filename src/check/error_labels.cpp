#include "check/error_labels.h"

#include <algorithm>

namespace corvalen {
namespace {

void Upper(std::u16string_view text, std::u16string* out) {
  out->clear();
  for (char16_t c : text) *out += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

bool Holds(const std::vector<std::u16string>& names, const std::u16string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsColon(const TsqlToken& t) { return t.kind == TsqlToken::kSymbol && t.text[0] == u':'; }

}  // namespace

void ErrorLabels::Reset() {
  next_ = Next::kNothing;
  error_targets_.clear();
  normal_targets_.clear();
  falls_through_ = true;
  body_next_ = false;
  region_ = false;
}

void ErrorLabels::Label() {
  Upper(candidate_, &name_);
  region_ = !falls_through_ && Holds(error_targets_, name_) && !Holds(normal_targets_, name_);
  falls_through_ = true;
}

void ErrorLabels::Token(const TsqlToken& t, bool error_only) {
  switch (next_) {
    case Next::kGotoTarget:
      next_ = Next::kNothing;
      if (t.kind == TsqlToken::kWord || t.kind == TsqlToken::kName) {
        Upper(t.text, &name_);
        std::vector<std::u16string>& targets = goto_error_only_ ? error_targets_ : normal_targets_;
        if (targets.size() < kMaxTargets && !Holds(targets, name_)) targets.push_back(name_);
      }
      return;
    case Next::kColon:  // `name:` is a label unless a second ':' follows (OBJECT::name)
      next_ = IsColon(t) ? Next::kNotColon : Next::kNothing;
      if (next_ == Next::kNotColon) return;
      break;
    case Next::kNotColon:
      next_ = Next::kNothing;
      if (!IsColon(t)) Label();
      break;
    default:
      break;
  }
  if (t.kind == TsqlToken::kWord && t.word == TsqlWord::kOther) {
    candidate_ = t.text;  // after ';' or BEGIN the reader marks it a statement
    next_ = Next::kColon;
  }
  if (!t.statement) return;
  const bool body = body_next_;
  body_next_ = t.word == TsqlWord::kIf || t.word == TsqlWord::kWhile || t.word == TsqlWord::kElse;
  if (t.word == TsqlWord::kGoto) {
    next_ = Next::kGotoTarget;
    goto_error_only_ = error_only;
  }
  // An unconditional RETURN or GOTO at the batch's level: nothing falls
  // through to what follows it.
  if ((t.word == TsqlWord::kGoto || t.word == TsqlWord::kReturn) && !body && t.depth == 0) {
    falls_through_ = false;
  }
}

}  // namespace corvalen
