// Numbered run-time errors: the one error type that every layer raises and
// every error handler of the update module and the window reports.
#ifndef CORVALEN_PLATFORM_NUMBERED_ERROR_H_
#define CORVALEN_PLATFORM_NUMBERED_ERROR_H_

#include <cstdint>
#include <exception>
#include <string>

namespace corvalen {

// Error numbers of the run-time library that this program raises itself.
enum ErrorNumber : int32_t {
  kErrInvalidArgument = 5,      // "Invalid procedure call or argument"
  kErrOverflow = 6,             // "Overflow"
  kErrOutOfMemory = 7,          // "Out of memory"
  kErrSubscriptOutOfRange = 9,  // "Subscript out of range"
  kErrBadFileName = 52,         // "Bad file name or number"
  kErrFileNotFound = 53,        // "File not found"
  kErrDeviceIo = 57,            // "Device I/O error"
  kErrInputPastEnd = 62,        // "Input past end of file"
  kErrPathFileAccess = 75,      // "Path/File access error"
  kErrPathNotFound = 76,        // "Path not found"
  kErrObjectNotSet = 91,        // "Object variable or With block variable not set"
  kErrInvalidPropertyValue = 380,  // "Invalid property value"
  kErrCannotCreateObject = 429,    // "ActiveX component can't create object"
  kErrCantOpenClipboard = 521,     // "Can't open Clipboard"
  kErrDatabase = -2147217900,      // a database rejected a call; the text is the database's
};

// The standard description of a run-time error number, or "Application-defined
// or object-defined error" for numbers without one.
std::u16string StandardDescription(int32_t number);

// A numbered error with its description. Not derived from std::exception on
// purpose: handlers catch it by name, and the program-end signal (which is no
// error) must never be mistaken for one.
class NumberedError {
 public:
  NumberedError(int32_t number, std::u16string description);
  // An error with the standard description of its number.
  explicit NumberedError(int32_t number);

  int32_t number() const { return number_; }
  const std::u16string& description() const { return description_; }

 private:
  int32_t number_;
  std::u16string description_;
};

// Turns whatever a handler caught into a numbered error: NumberedError as it
// is, std::bad_alloc as error 7, any other std::exception as error 5 with its
// what() text. Call only from inside a catch block; rethrows anything else
// (notably the program-end signal).
NumberedError CurrentErrorAsNumbered();

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_NUMBERED_ERROR_H_
