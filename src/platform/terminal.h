// Whether the program's standard streams reach a person at a terminal.
#ifndef CORVALEN_PLATFORM_TERMINAL_H_
#define CORVALEN_PLATFORM_TERMINAL_H_

namespace corvalen {

// Whether standard error is a terminal (a console on Windows), where a
// caption rewritten in place makes sense; false for files, pipes and the
// null device.
bool StandardErrorIsTerminal();

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_TERMINAL_H_
