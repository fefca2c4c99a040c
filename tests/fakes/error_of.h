// The numbered error a call raises, for tests that check its number and text.
#ifndef CORVALEN_TESTS_FAKES_ERROR_OF_H_
#define CORVALEN_TESTS_FAKES_ERROR_OF_H_

#include <gtest/gtest.h>

#include <functional>

#include "platform/numbered_error.h"

namespace corvalen::testing {

// Runs `call` and returns the error it raised; a call that does not fail is
// a test failure (and gives error 0 with no text).
inline NumberedError ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const NumberedError& e) {
    return e;
  }
  ADD_FAILURE() << "the call should have failed";
  return NumberedError(0, u"");
}

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_FAKES_ERROR_OF_H_
