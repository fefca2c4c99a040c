// Keeping secrets out of texts that reach the user. Every error description
// that may carry a driver's message, a connection string or a value taken
// from the environment passes through ScrubSecrets before it is raised.
#ifndef CORVALEN_DB_SECRET_SCRUB_H_
#define CORVALEN_DB_SECRET_SCRUB_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvalen {

// What stands in a text for a removed secret.
inline constexpr char16_t kHiddenSecret[] = u"***";

// The shortest stretch of a secret that is hidden on its own: a server may
// echo a value cut short (PostgreSQL cuts names at 63 bytes), so no run of
// this many consecutive code units of a secret may be shown.
inline constexpr size_t kSecretRun = 8;

// `text` with these parts replaced by "***" (parts that overlap or touch
// become one "***"):
// - for a secret of kSecretRun or more code units, every stretch of the text
//   of kSecretRun or more code units that also stands in the secret (the
//   secret whole, a prefix the server kept, any other part of it);
// - for a shorter non-empty secret, each occurrence that stands whole,
//   never one that is a piece of another word ("ist" inside "exist");
// - the value of every password attribute ("PWD=...", "Password=...", any
//   letter case, up to the next ';', line break or end, or a whole braced
//   value), whatever its length.
// Costs O(text size x secret size) per secret; the texts are messages.
// Which values are secrets is the caller's choice (see QVMain).
std::u16string ScrubSecrets(std::u16string_view text, const std::vector<std::u16string>& secrets);

// A stretch [begin, end) of a text, in code units.
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;
  bool operator==(const TextSpan&) const = default;
};

// Where the non-empty values of the password attributes (PWD, Password, any
// letter case) of an ODBC connection string stand, braces included.
std::vector<TextSpan> PasswordValueSpans(std::u16string_view connection_string);

// The values of the password attributes (PWD, Password) of an ODBC connection
// string: each as written and, for a braced value, also without its braces
// and with "}}" read as "}".
std::vector<std::u16string> ConnectionStringSecrets(std::u16string_view connection_string);

}  // namespace corvalen

#endif  // CORVALEN_DB_SECRET_SCRUB_H_
