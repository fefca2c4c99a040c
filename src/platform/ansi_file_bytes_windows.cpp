// A file's bytes on Windows: CreateFileW and ReadFile. The file is shared
// with every other program (reading, writing, deleting), as on POSIX, where
// nothing locks it.
#include <windows.h>

#include <string>

#include "platform/ansi_file_bytes.h"
#include "platform/long_path.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

constexpr int32_t kErrDeviceIo = 57;

// The system's text for an error code, without the line end it comes with.
std::u16string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string out;
  if (n > 0 && text != nullptr) out.assign(reinterpret_cast<const char16_t*>(text), n);
  LocalFree(text);
  while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r' || out.back() == u' ' ||
                          out.back() == u'.')) {
    out.pop_back();
  }
  if (out.empty()) out = u"system error " + ToDecimal(error);
  return out;
}

NumberedError OpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return NumberedError(kErrFileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return NumberedError(kErrPathNotFound);
    case ERROR_ACCESS_DENIED:  // also a folder
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PIPE_BUSY:
      return NumberedError(kErrPathFileAccess);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return NumberedError(kErrOutOfMemory);
    default:
      return NumberedError(kErrBadFileName, StandardDescription(kErrBadFileName) + u" (" +
                                                SystemText(error) + u")");
  }
}

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FileBytes::FileBytes(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) {
    throw NumberedError(kErrBadFileName);
  }
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open (access
  // denied). Opening a pipe or a device does not wait; what opened is
  // refused unless it is a file on disk.
  const std::u16string name = SystemPath(path);
  HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) throw OpenError(GetLastError());
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
    throw NumberedError(kErrDeviceIo, u"Device I/O error (" + SystemText(error) + u")");
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
