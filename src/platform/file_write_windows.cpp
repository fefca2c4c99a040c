#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file_write.h"
#include "platform/utf.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

// Creates a new, empty file beside `path`; returns its handle and name, or
// INVALID_HANDLE_VALUE.
HANDLE CreateBeside(const std::u16string& path, std::u16string* name) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    *name = path + u".tmp-" + ToDecimal(GetCurrentProcessId()) + u"-" + ToDecimal(attempt);
    HANDLE file = CreateFileW(Wide(*name), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
  std::u16string temporary;
  HANDLE file = CreateBeside(path, &temporary);
  if (file == INVALID_HANDLE_VALUE) FailToWrite(path, GetLastError());
  size_t written = 0;
  bool ok = true;
  while (ok && written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 30));
    DWORD n = 0;
    ok = WriteFile(file, bytes.data() + written, chunk, &n, nullptr) != 0 && n > 0;
    written += n;
  }
  // On disk before the rename, so that a crash cannot leave an empty file.
  ok = ok && FlushFileBuffers(file) != 0;
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok && MoveFileExW(Wide(temporary), Wide(path),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileW(Wide(temporary));
    FailToWrite(path, error);
  }
}

bool CanCreateFileAt(const std::u16string& path) {
  std::u16string temporary;
  HANDLE file = CreateBeside(path, &temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(Wide(temporary));
  return true;
}

}  // namespace corvalen
