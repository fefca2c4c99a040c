#include "update/procedure.h"

#include "platform/utf.h"
#include "platform/version.h"

namespace corvalen {

std::u16string Procedure::Report(std::u16string_view description) const {
  std::u16string text(description);
  text += u"\r\nin ";
  text += Utf8ToUtf16(kProductName);
  text += u".";
  text += module_;
  text += u".";
  text += name_;
  text += u" at line ";
  text += ToDecimal(line_);
  return text;
}

}  // namespace corvalen
