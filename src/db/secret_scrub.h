// Keeping secrets out of texts that reach the user. Every error description
// that may carry a driver's message, a connection string or a value taken
// from the environment passes through ScrubSecrets before it is raised.
#ifndef CORVALEN_DB_SECRET_SCRUB_H_
#define CORVALEN_DB_SECRET_SCRUB_H_

#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// What stands in a text for a removed secret.
inline constexpr char16_t kHiddenSecret[] = u"***";

// `text` with every occurrence of each non-empty secret replaced by "***",
// and with the value of every password attribute ("PWD=...", "Password=...",
// any letter case, up to the next ';', line break or end, or a whole braced
// value) replaced by "***" as well.
std::u16string ScrubSecrets(std::u16string_view text, const std::vector<std::u16string>& secrets);

// The values of the password attributes (PWD, Password) of an ODBC connection
// string: each as written and, for a braced value, also without its braces
// and with "}}" read as "}".
std::vector<std::u16string> ConnectionStringSecrets(std::u16string_view connection_string);

}  // namespace corvalen

#endif  // CORVALEN_DB_SECRET_SCRUB_H_
