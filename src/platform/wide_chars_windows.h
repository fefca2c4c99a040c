// The program's UTF-16 strings handed to the wide Win32 functions, which take
// the same code units as wchar_t (16 bits on Windows). Included by the
// Windows variants only.
#ifndef CORVALEN_PLATFORM_WIDE_CHARS_WINDOWS_H_
#define CORVALEN_PLATFORM_WIDE_CHARS_WINDOWS_H_

#include <string>

namespace corvalen {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 code units");

inline const wchar_t* Wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline const wchar_t* Wide(const std::u16string& s) { return Wide(s.c_str()); }
inline wchar_t* Wide(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_WIDE_CHARS_WINDOWS_H_
