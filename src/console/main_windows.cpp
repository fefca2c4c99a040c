// The console program on Windows: arguments from the UTF-16 command line,
// and output of the same bytes as on POSIX, UTF-8 with bare line feeds.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "console/console_program.h"
#include "platform/utf.h"

namespace {

UINT original_output_code_page = 0;

void RestoreOutputCodePage() { SetConsoleOutputCP(original_output_code_page); }

// A console shows what the program writes as UTF-8 (the code page belongs to
// the console, so the one it had is put back at the end) and reads the
// escapes that rewrite the progress caption in place.
void PrepareConsole() {
  DWORD mode = 0;
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  const bool err_is_console = GetConsoleMode(err, &mode) != 0;
  if (err_is_console) SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  DWORD out_mode = 0;
  if (err_is_console || GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &out_mode) != 0) {
    original_output_code_page = GetConsoleOutputCP();
    if (original_output_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      std::atexit(RestoreOutputCodePage);
    }
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Binary streams: "\n" stays one byte, in pipes and files as on POSIX.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  PrepareConsole();

  // Each UTF-16 argument as UTF-8, which NativeToUtf16 turns back into the
  // same UTF-16 (an unpaired surrogate of a name included).
  std::vector<std::string> arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    const std::wstring wide(argv[i]);
    arguments.push_back(corvalen::Utf16ToNative(std::u16string(wide.begin(), wide.end())));
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return corvalen::RunConsoleProgram(argc, pointers.data());
}
