#include <cerrno>
#include <cstring>

#include "platform/system_error.h"
#include "platform/utf.h"

namespace corvalen {

std::u16string SystemErrorText(uint32_t code) {
  return Utf8ToUtf16(std::strerror(static_cast<int>(code)));
}

int32_t FileErrorNumber(uint32_t code) {
  switch (static_cast<int>(code)) {
    case ENOENT:
      return kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case ENXIO:  // a socket
      return kErrPathFileAccess;
    case ENOMEM:
      return kErrOutOfMemory;
    default:
      return kErrBadFileName;
  }
}

}  // namespace corvalen
