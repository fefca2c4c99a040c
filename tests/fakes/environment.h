// Setting and removing environment variables from a test, so that the
// program's own reading of them (platform/path.h) sees the change.
#ifndef CORVALEN_TESTS_FAKES_ENVIRONMENT_H_
#define CORVALEN_TESTS_FAKES_ENVIRONMENT_H_

#include <string>

namespace corvalen::testing {

// Sets `name` (ASCII) to `value` (UTF-8), which may be empty.
void SetVariable(const std::string& name, const std::string& value);
// Removes `name`; removing an unset variable does nothing.
void UnsetVariable(const std::string& name);

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_FAKES_ENVIRONMENT_H_
