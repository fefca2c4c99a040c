// Window handlers that go on after a failure: each statement runs under the
// handler's error report, and after the report execution resumes with the
// next statement.
#ifndef CORVALEN_APP_RESUME_NEXT_H_
#define CORVALEN_APP_RESUME_NEXT_H_

#include <cstdint>
#include <functional>
#include <initializer_list>

#include "platform/numbered_error.h"
#include "update/procedure.h"

namespace corvalen {

// One statement of a handler. Number 0 means the statement has no number of
// its own: a failure in it reports the last number recorded before it.
struct Statement {
  int32_t number;
  std::function<void()> body;
};

// Runs the statements in order, recording each number in `proc` before its
// body runs. A NumberedError (or std::exception) escaping a body goes to
// `report`, then the next statement runs. ProgramEnded passes through.
void RunResumingNext(Procedure& proc, std::initializer_list<Statement> statements,
                     const std::function<void(const NumberedError&)>& report);

}  // namespace corvalen

#endif  // CORVALEN_APP_RESUME_NEXT_H_
