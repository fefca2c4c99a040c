// What the run can reach: every call runs inside the run's transaction, and
// any error fails the script, which the run then rolls back whole. Code
// that runs only after an error (a CATCH block; the body of an IF whose
// condition holds only then: `@@ERROR <> 0`, `@@TRANCOUNT = 0`,
// `XACT_STATE() <> 1`, `EXISTS (SELECT * FROM #tmpErrors)`, and AND with
// any of them; the code after a label only such branches jump to) runs only
// on the way to a failure that the run undoes.
#ifndef CORVALEN_CHECK_REACHABILITY_H_
#define CORVALEN_CHECK_REACHABILITY_H_

#include <cstdint>
#include <string>

#include "check/error_labels.h"
#include "tsql/tsql_reader.h"

namespace corvalen {

class Reachability {
 public:
  Reachability() = default;
  Reachability(const Reachability&) = delete;
  Reachability& operator=(const Reachability&) = delete;

  // At a call's start: no error so far.
  void Reset();
  // Every token of the call but ';', in order.
  void Token(const TsqlToken& t);
  // Whether the token last given runs only after an error.
  bool error_only() const { return region_ || catches_ > 0 || labels_.error_only(); }

 private:
  void Branches(const TsqlToken& t);
  void CloseAtom();

  static constexpr size_t kLongestAtom = 64;
  int32_t catches_ = 0;
  // The condition of an IF being read: OR of terms, each an AND of atoms.
  bool condition_ = false;
  std::u16string atom_;  // its text, upper case, no blanks or parentheses
  bool atom_too_long_ = false;
  bool term_error_only_ = false;
  bool terms_error_only_ = true;
  // The error-only body being read.
  bool region_ = false;
  int32_t region_depth_ = 0;
  bool entered_block_ = false;
  TsqlWord last_start_ = TsqlWord::kOther;
  ErrorLabels labels_;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_REACHABILITY_H_
