// Labels that only error branches jump to, in the older style of error
// handling: `IF @@ERROR <> 0 GOTO Fallo` ... `COMMIT` ... `RETURN` (or an
// unconditional `GOTO Fin`) ... `Fallo: ROLLBACK`. No statement falls
// through to such a label, so what follows it runs only after an error.
#ifndef CORVALEN_CHECK_ERROR_LABELS_H_
#define CORVALEN_CHECK_ERROR_LABELS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tsql/tsql_reader.h"

namespace corvalen {

class ErrorLabels {
 public:
  ErrorLabels() = default;
  ErrorLabels(const ErrorLabels&) = delete;
  ErrorLabels& operator=(const ErrorLabels&) = delete;

  // At a call's start: labels live for one batch.
  void Reset();
  // Every token of the call but ';', with whether it runs only after an
  // error by the other rules of reachability.
  void Token(const TsqlToken& t, bool error_only);
  // Whether the code after the last label runs only after an error.
  bool error_only() const { return region_; }

 private:
  static constexpr size_t kMaxTargets = 256;
  enum class Next : uint8_t { kNothing, kGotoTarget, kColon, kNotColon };
  void Label();

  Next next_ = Next::kNothing;
  bool goto_error_only_ = false;
  std::u16string_view candidate_;  // a word that a ':' would make a label
  std::u16string name_;             // upper case
  std::vector<std::u16string> error_targets_, normal_targets_;
  bool falls_through_ = true;  // the code before the next label may end by falling through
  bool body_next_ = false;     // the next statement is the body of IF, WHILE or ELSE
  bool region_ = false;
};

}  // namespace corvalen

#endif  // CORVALEN_CHECK_ERROR_LABELS_H_
