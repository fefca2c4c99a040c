// Conversions between UTF-8 (file names, console, C APIs) and the program's
// UTF-16 strings.
#ifndef CORVALEN_PLATFORM_UTF_H_
#define CORVALEN_PLATFORM_UTF_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace corvalen {

// Ill-formed input becomes U+FFFD, one for each maximal subpart of a
// well-formed sequence (the Unicode Standard's recommended practice: a
// truncated sequence is one U+FFFD, a byte that cannot start or continue a
// sequence is one each); never throws on bad bytes.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Decodes UTF-8 as Utf8ToUtf16 does, in pieces: writes to `out` (room for
// utf8.size() code units) and returns the number written. Unless `final`, a
// sequence that the end of `utf8` cuts short (one the next bytes may still
// complete) is left undecoded; `*read` receives the number of bytes decoded.
size_t DecodeUtf8(std::string_view utf8, bool final, char16_t* out, size_t* read);

// File and folder names as a POSIX system hands them over (bytes, normally
// UTF-8) and back. A name need not be valid UTF-8: each byte that is not part
// of a well-formed sequence becomes the lone surrogate U+DC80 + (byte - 0x80)
// and turns back into the same byte, so that a name reaches `open` exactly as
// the folder listed it. Use these, never the two above, for names. Windows
// names are UTF-16 already: its platform files hand the program's strings to
// the wide Win32 functions as they are.
std::u16string NativeToUtf16(std::string_view bytes);
std::string Utf16ToNative(std::u16string_view name);

// A name as a person reads it: each byte that NativeToUtf16 could not decode
// (and any other unpaired surrogate) shown as U+FFFD.
std::u16string DisplayName(std::u16string_view name);

// The decimal text of a number, as the run's captions and reports write it:
// no leading zeros, no separators.
std::u16string ToDecimal(long long value);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_UTF_H_
