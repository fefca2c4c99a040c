// corvalensql-cli: the update run for unattended use, without a desktop.
#ifndef CORVALEN_CONSOLE_CONSOLE_PROGRAM_H_
#define CORVALEN_CONSOLE_CONSOLE_PROGRAM_H_

namespace corvalen {

// Parses the command line and does what it asks; returns the exit code.
// `argv` holds the arguments as NativeToUtf16 (platform/utf.h) reads names:
// the system's bytes on POSIX, UTF-8 from the UTF-16 command line on Windows.
// Writes UTF-8 to standard output and standard error.
int RunConsoleProgram(int argc, char** argv);

}  // namespace corvalen

#endif  // CORVALEN_CONSOLE_CONSOLE_PROGRAM_H_
