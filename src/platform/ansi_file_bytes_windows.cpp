// A file's bytes on Windows: CreateFileW and ReadFile. The file is shared
// with every other program (reading, writing, deleting), as on POSIX, where
// nothing locks it.
#include <windows.h>

#include <string>

#include "platform/ansi_file_bytes.h"
#include "platform/long_path.h"
#include "platform/numbered_error.h"
#include "platform/system_error.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FileBytes::FileBytes(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) {
    throw NumberedError(kErrBadFileName);
  }
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open (access
  // denied). Opening a pipe or a device does not wait; what opened is
  // refused unless it is a file on disk.
  HANDLE file = CreateFileW(Wide(SystemPath(path)), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) throw FileError(GetLastError());
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    CloseHandle(file);
    throw NumberedError(kErrPathFileAccess);
  }
  handle_ = reinterpret_cast<intptr_t>(file);
}

FileBytes::~FileBytes() { Close(); }

size_t FileBytes::Read(char* buffer, size_t capacity) {
  if (handle_ == -1) throw NumberedError(kErrBadFileName);
  // ReadFile counts in DWORD: a larger buffer is filled in part.
  const DWORD ask = capacity > (1u << 30) ? (1u << 30) : static_cast<DWORD>(capacity);
  DWORD got = 0;
  if (!ReadFile(Handle(handle_), buffer, ask, &got, nullptr)) {
    const DWORD error = GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    throw NumberedError(kErrDeviceIo, StandardDescription(kErrDeviceIo) + u" (" +
                                          SystemErrorText(error) + u")");
  }
  return got;
}

void FileBytes::Close() {
  if (handle_ != -1) {
    CloseHandle(Handle(handle_));
    handle_ = -1;
  }
}

}  // namespace corvalen
