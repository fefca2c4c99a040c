#include "platform/system_error.h"

namespace corvalen {

NumberedError FileError(uint32_t code) {
  const int32_t number = FileErrorNumber(code);
  if (number != kErrBadFileName) return NumberedError(number);
  return NumberedError(number, StandardDescription(number) + u" (" + SystemErrorText(code) + u")");
}

}  // namespace corvalen
