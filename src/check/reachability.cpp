#include "check/reachability.h"

#include <string_view>

namespace corvalen {
namespace {

// Whether a condition's atom holds only after an error, in the run's state:
// the run's transaction open (a count of at least 1), no error so far.
bool HoldsOnlyAfterError(std::u16string_view a) {
  auto has = [&](std::u16string_view part) { return a.find(part) != std::u16string_view::npos; };
  if (a.starts_with(u"@@ERROR") || a.ends_with(u"@@ERROR")) {
    return has(u"<>") || has(u"!=") || (has(u">") && !has(u">="));
  }
  if (a == u"@@TRANCOUNT=0" || a == u"0=@@TRANCOUNT" || a == u"@@TRANCOUNT<1") return true;
  if (a.starts_with(u"XACT_STATE")) {
    const std::u16string_view test = a.substr(10);
    return test == u"<>1" || test == u"!=1" || test == u"<1" || test == u"=-1" || test == u"=0" ||
           test == u"<0";
  }
  return a.starts_with(u"EXISTS") && has(u"#TMPERRORS");
}

}  // namespace

void Reachability::Reset() {
  catches_ = 0;
  condition_ = false;
  region_ = false;
  labels_.Reset();
}

void Reachability::CloseAtom() {
  if (!atom_too_long_ && HoldsOnlyAfterError(atom_)) term_error_only_ = true;
  atom_.clear();
  atom_too_long_ = false;
}

void Reachability::Token(const TsqlToken& t) {
  catches_ = t.catches;
  Branches(t);
  labels_.Token(t, region_ || catches_ > 0 || labels_.error_only());
}

// The error-only branches of IF.
void Reachability::Branches(const TsqlToken& t) {
  if (!region_ && !condition_ && !t.statement) return;
  if (region_) {
    if (t.depth > region_depth_) {
      entered_block_ = true;
    } else if (entered_block_ || (t.statement && last_start_ != TsqlWord::kIf &&
                                  last_start_ != TsqlWord::kWhile)) {
      region_ = false;
    }
    if (region_ && t.statement) last_start_ = t.word;
  }
  if (condition_) {
    if (t.statement) {  // the body starts
      condition_ = false;
      CloseAtom();
      terms_error_only_ = terms_error_only_ && term_error_only_;
      if (terms_error_only_ && !region_) {
        region_ = true;
        region_depth_ = t.depth;
        entered_block_ = false;
        last_start_ = t.word;
      }
      return;
    }
    if (t.word == TsqlWord::kAnd) {
      CloseAtom();
    } else if (t.word == TsqlWord::kOr) {
      CloseAtom();
      terms_error_only_ = terms_error_only_ && term_error_only_;
      term_error_only_ = false;
    } else if (t.kind != TsqlToken::kSymbol || (t.text[0] != u'(' && t.text[0] != u')')) {
      if (atom_.size() + t.text.size() > kLongestAtom) {
        atom_too_long_ = true;
      } else {
        for (char16_t c : t.text) {
          atom_ += c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
        }
      }
    }
    return;
  }
  if (t.statement && t.word == TsqlWord::kIf) {
    condition_ = true;
    atom_.clear();
    atom_too_long_ = false;
    term_error_only_ = false;
    terms_error_only_ = true;
  }
}

}  // namespace corvalen
