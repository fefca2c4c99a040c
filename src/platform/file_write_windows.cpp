#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file_write.h"
#include "platform/long_path.h"
#include "platform/utf.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

// Creates a new, empty file beside `path`; returns its handle and name, or
// INVALID_HANDLE_VALUE.
HANDLE CreateBeside(const std::u16string& path, std::u16string* name) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    *name = path + u".tmp-" + ToDecimal(GetCurrentProcessId()) + u"-" + ToDecimal(attempt);
    HANDLE file = CreateFileW(Wide(SystemPath(*name)), GENERIC_WRITE | DELETE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Marks the file to be deleted when its handle closes (or not): a process
// killed while it writes leaves nothing behind.
bool DeleteWhenClosed(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

}  // namespace

void WriteFileAtomically(const std::u16string& path, std::string_view bytes) {
  std::u16string temporary;
  HANDLE file = CreateBeside(path, &temporary);
  if (file == INVALID_HANDLE_VALUE) FailToWrite(path, GetLastError());
  // Where the system refuses, the file is removed by hand on failure only.
  const bool pending = DeleteWhenClosed(file, true);
  size_t written = 0;
  bool ok = true;
  while (ok && written < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 30));
    DWORD n = 0;
    ok = WriteFile(file, bytes.data() + written, chunk, &n, nullptr) != 0 && n > 0;
    written += n;
  }
  // On disk before the rename, so that a crash cannot leave an empty file.
  ok = ok && FlushFileBuffers(file) != 0 && (!pending || DeleteWhenClosed(file, false));
  DWORD error = ok ? 0 : GetLastError();
  CloseHandle(file);
  // A file that was there keeps its attributes and permissions (ReplaceFileW
  // gives them to the new content); a new one gets what its folder gives.
  const DWORD existing = GetFileAttributesW(Wide(SystemPath(path)));
  const bool replace = existing != INVALID_FILE_ATTRIBUTES &&
                       (existing & FILE_ATTRIBUTE_DIRECTORY) == 0;
  // Where ReplaceFileW will not (Wine with some path forms), the report is
  // still written, with what a new file gets.
  if (ok &&
      !(replace && ReplaceFileW(Wide(SystemPath(path)), Wide(SystemPath(temporary)), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0) &&
      MoveFileExW(Wide(SystemPath(temporary)), Wide(SystemPath(path)),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    ok = false;
    error = GetLastError();
  }
  if (!ok) {
    DeleteFileW(Wide(SystemPath(temporary)));
    FailToWrite(path, error);
  }
}

bool CanCreateFileAt(const std::u16string& path) {
  std::u16string temporary;
  HANDLE file = CreateBeside(path, &temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(Wide(SystemPath(temporary)));
  return true;
}

}  // namespace corvalen
