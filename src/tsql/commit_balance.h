// Whether a call holds a COMMIT that the script's own BEGIN TRANs do not
// balance, read as SQL Server reads it: such a COMMIT commits the
// transaction the script runs in (in a rehearsal, the work of the scripts
// before it too), and no number of nested levels stops two of them in one
// call, nor one in a loop (WHILE @@TRANCOUNT > 0 COMMIT).
#ifndef CORVALEN_TSQL_COMMIT_BALANCE_H_
#define CORVALEN_TSQL_COMMIT_BALANCE_H_

#include <cstdint>
#include <string_view>

namespace corvalen {

// What one call's text says of the script's transaction.
struct CallBalance {
  // A COMMIT that none of the script's open BEGIN TRANs balances, or one
  // inside a WHILE (which may run it any number of times).
  bool unbalanced_commit = false;
  // Code the text does not show may run: a procedure (EXEC p, or a name
  // heading the call), SQL built at run time (EXEC(@sql), sp_executesql
  // with anything but a literal). It may commit.
  bool hidden_code = false;
};

class CommitBalance {
 public:
  CommitBalance() = default;
  CommitBalance(const CommitBalance&) = delete;
  CommitBalance& operator=(const CommitBalance&) = delete;

  // Reads the script's next call, in order; the script's BEGIN TRANs still
  // open from the calls before it balance its COMMITs. A COMMIT inside IF
  // counts as run. The literal text of EXEC('…') and EXEC sp_executesql
  // N'…' is read as part of the call; a routine's body (CREATE/ALTER
  // PROCEDURE, FUNCTION, TRIGGER, VIEW, to the call's end) runs only when
  // called and is not.
  CallBalance ReadCall(std::u16string_view call);

 private:
  int32_t open_ = 0;  // the script's own BEGIN TRANs not yet committed
};

}  // namespace corvalen

#endif  // CORVALEN_TSQL_COMMIT_BALANCE_H_
