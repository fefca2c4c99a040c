#include "platform/version_info.h"

#include "platform/utf.h"
#include "platform/version.h"

namespace corvalen {

std::u16string VersionText() {
  return ToDecimal(kVersionMajor) + u"." + ToDecimal(kVersionMinor) + u"." +
         ToDecimal(kVersionRevision);
}

std::u16string VersionLabel() { return u"v." + VersionText(); }

std::u16string VersionTitle() {
  return Utf8ToUtf16(kProductName) + u" " + VersionLabel();
}

}  // namespace corvalen
