// Conversions between UTF-8 (file names, console, C APIs) and the program's
// UTF-16 strings.
#ifndef CORVALEN_PLATFORM_UTF_H_
#define CORVALEN_PLATFORM_UTF_H_

#include <string>
#include <string_view>

namespace corvalen {

// Ill-formed input becomes U+FFFD; never throws on bad bytes.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The decimal text of a number, as the run's captions and reports write it:
// no leading zeros, no separators.
std::u16string ToDecimal(long long value);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_UTF_H_
