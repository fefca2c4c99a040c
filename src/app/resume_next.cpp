#include "app/resume_next.h"

namespace corvalen {

void RunResumingNext(Procedure& proc, std::initializer_list<Statement> statements,
                     const std::function<void(const NumberedError&)>& report) {
  for (const Statement& statement : statements) {
    if (statement.number != 0) proc.At(statement.number);
    WithErrorHandler([&] { statement.body(); },
                     [&](const NumberedError& error) { report(error); });
  }
}

}  // namespace corvalen
