// The arguments reach the program as the system's bytes.
#include "console/console_program.h"

int main(int argc, char** argv) { return corvalen::RunConsoleProgram(argc, argv); }
