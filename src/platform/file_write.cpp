#include "platform/file_write.h"

#include "platform/numbered_error.h"
#include "platform/system_error.h"
#include "platform/utf.h"

namespace corvalen {

[[noreturn]] void FailToWrite(const std::u16string& path, uint32_t code) {
  throw NumberedError(kErrPathFileAccess, u"No se pudo escribir el archivo \"" +
                                              DisplayName(path) + u"\": " +
                                              SystemErrorText(code) + u".");
}

}  // namespace corvalen
