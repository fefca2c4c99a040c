// EjecutarScript: one script file, cut at GO lines and sent in groups.
#include "update/mod_main.h"

namespace corvalen {

bool ModMain::EjecutarScript(const std::u16string&, int32_t) {
  throw NumberedError(kErrInvalidArgument, u"EjecutarScript: not built yet");
}

}  // namespace corvalen
