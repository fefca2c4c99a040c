#include <windows.h>

#include "platform/system_error.h"
#include "platform/utf.h"

namespace corvalen {

std::u16string SystemErrorText(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string out;
  if (n > 0 && text != nullptr) out.assign(reinterpret_cast<const char16_t*>(text), n);
  LocalFree(text);
  while (!out.empty() && (out.back() == u'\n' || out.back() == u'\r' || out.back() == u' ' ||
                          out.back() == u'.')) {
    out.pop_back();
  }
  if (out.empty()) out = u"error del sistema " + ToDecimal(code);
  return out;
}

int32_t FileErrorNumber(uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return kErrFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return kErrPathNotFound;
    case ERROR_ACCESS_DENIED:  // also a folder
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_PIPE_BUSY:
      return kErrPathFileAccess;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return kErrOutOfMemory;
    default:
      return kErrBadFileName;
  }
}

}  // namespace corvalen
