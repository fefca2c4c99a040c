#include <unistd.h>

#include "platform/terminal.h"

namespace corvalen {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

}  // namespace corvalen
