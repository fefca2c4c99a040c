#include "platform/numbered_error.h"

#include <new>
#include <utility>

#include "platform/utf.h"

namespace corvalen {

std::u16string StandardDescription(int32_t number) {
  switch (number) {
    case kErrInvalidArgument: return u"Invalid procedure call or argument";
    case kErrOverflow: return u"Overflow";
    case kErrOutOfMemory: return u"Out of memory";
    case kErrSubscriptOutOfRange: return u"Subscript out of range";
    case kErrBadFileName: return u"Bad file name or number";
    case kErrFileNotFound: return u"File not found";
    case kErrDeviceIo: return u"Device I/O error";
    case kErrInputPastEnd: return u"Input past end of file";
    case kErrPathFileAccess: return u"Path/File access error";
    case kErrPathNotFound: return u"Path not found";
    case kErrObjectNotSet: return u"Object variable or With block variable not set";
    case kErrInvalidPropertyValue: return u"Invalid property value";
    case kErrCannotCreateObject: return u"ActiveX component can't create object";
    case kErrCantOpenClipboard: return u"Can't open Clipboard";
    default: return u"Application-defined or object-defined error";
  }
}

NumberedError::NumberedError(int32_t number, std::u16string description)
    : number_(number), description_(std::move(description)) {}

NumberedError::NumberedError(int32_t number)
    : number_(number), description_(StandardDescription(number)) {}

NumberedError CurrentErrorAsNumbered() {
  try {
    throw;
  } catch (const NumberedError& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return NumberedError(kErrOutOfMemory);
  } catch (const std::exception& e) {
    return NumberedError(kErrInvalidArgument, Utf8ToUtf16(e.what()));
  }
}

}  // namespace corvalen
