// Statement numbers and error reports, shared by every procedure of the
// update module and every handler of the window.
//
// A procedure records each numbered statement as it reaches it; a statement
// without a number of its own simply records nothing, so a failure reports the
// last numbered statement before it.
#ifndef CORVALEN_UPDATE_PROCEDURE_H_
#define CORVALEN_UPDATE_PROCEDURE_H_

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/numbered_error.h"

namespace corvalen {

inline constexpr char16_t kModuleModMain[] = u"Mod_Main";
inline constexpr char16_t kModuleWindow[] = u"Corvalen";
inline constexpr char16_t kApplicationErrorTitle[] = u"Application Error";

class Procedure {
 public:
  Procedure(std::u16string_view module, std::u16string_view name)
      : module_(module), name_(name) {}

  // Records that statement `number` is about to run.
  void At(int32_t number) { line_ = number; }
  // The last recorded statement; 0 before the first.
  int32_t line() const { return line_; }

  // "<description>\r\nin CorvalenSQL.<module>.<name> at line <line>"
  std::u16string Report(std::u16string_view description) const;

 private:
  std::u16string module_;
  std::u16string name_;
  int32_t line_ = 0;
};

// Runs `body`; an error that escapes it reaches `handler` as a NumberedError
// (see CurrentErrorAsNumbered). ProgramEnded passes through untouched.
// Returns whatever `body` or `handler` returns.
template <class Body, class Handler>
auto WithErrorHandler(Body&& body, Handler&& handler) -> decltype(body()) {
  NumberedError error(0, u"");
  try {
    return std::forward<Body>(body)();
  } catch (const NumberedError&) {
    error = CurrentErrorAsNumbered();
  } catch (const std::exception&) {
    error = CurrentErrorAsNumbered();
  }
  return std::forward<Handler>(handler)(error);
}

// Runs one step of a failure handling. Its own failure is returned rather
// than raised, so that it can never hide the failure being handled nor stop
// the program from ending; the end of the program passes through.
template <class Step>
std::optional<NumberedError> Attempt(Step&& step) {
  try {
    step();
  } catch (const NumberedError&) {
    return CurrentErrorAsNumbered();
  } catch (const std::exception&) {
    return CurrentErrorAsNumbered();
  }
  return std::nullopt;
}

}  // namespace corvalen

#endif  // CORVALEN_UPDATE_PROCEDURE_H_
