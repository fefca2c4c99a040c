// Template definitions for mod_main.h.
#ifndef CORVALEN_UPDATE_MOD_MAIN_INL_H_
#define CORVALEN_UPDATE_MOD_MAIN_INL_H_

#include "platform/numbered_error.h"

namespace corvalen {

template <class T>
T& Required(const std::shared_ptr<T>& reference) {
  if (!reference) throw NumberedError(kErrObjectNotSet);
  return *reference;
}

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_MOD_MAIN_INL_H_
