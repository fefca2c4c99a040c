// A console answers GetConsoleMode; a file, a pipe or NUL does not (the C
// runtime's _isatty takes NUL for a terminal).
#include <windows.h>

#include "platform/terminal.h"

namespace corvalen {

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace corvalen
