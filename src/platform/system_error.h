// A system's error codes (errno on POSIX, GetLastError() on Windows) as the
// program reports them: one mapping to error numbers for every file and
// folder operation, and the system's own text.
#ifndef CORVALEN_PLATFORM_SYSTEM_ERROR_H_
#define CORVALEN_PLATFORM_SYSTEM_ERROR_H_

#include <cstdint>
#include <string>

#include "platform/numbered_error.h"

namespace corvalen {

// The system's text for `code`, on one line, without a final period; a text
// of our own naming the number when the system has none.
std::u16string SystemErrorText(uint32_t code);

// The error number a failed file or folder operation stands for: 53 when the
// file is missing, 76 when its folder (or drive, or share) is, 75 when access
// is denied or the name is no file, 7 when memory ran out, 52 otherwise.
int32_t FileErrorNumber(uint32_t code);

// FileErrorNumber's error with its standard description; for 52 the
// system's text follows in parentheses.
NumberedError FileError(uint32_t code);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_SYSTEM_ERROR_H_
