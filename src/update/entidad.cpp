// EstablecerEntidad: the entity's connection from the data-access component.
#include "update/mod_main.h"

namespace corvalen {

bool ModMain::EstablecerEntidad(const std::u16string&) {
  throw NumberedError(kErrInvalidArgument, u"EstablecerEntidad: not built yet");
}

}  // namespace corvalen
