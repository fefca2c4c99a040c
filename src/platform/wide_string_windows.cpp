// The wide-string functions on Windows: the Win32 functions of the same names
// (Shlwapi StrStrW, kernel32 CompareStringOrdinal, lstrlenW, lstrcmpW and
// lstrcmpiW, which collate in the user's locale), with the arguments checked
// as the header describes. Windows' ordinal comparison maps case within the
// Basic Multilingual Plane only. StrStrIW is not Shlwapi's, which compares
// in the user's locale and misses letters beyond that plane: both texts are
// upper-cased with the invariant locale's mapping (LCMapStringEx, code point
// by code point, surrogate pairs included) and searched code unit by code
// unit.
#include "platform/wide_string.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <string_view>

namespace corvalen {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");

namespace {

const wchar_t* Wide(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

// The invariant upper-case mapping of `n` code units, as many code units.
std::u16string Upper(const char16_t* s, int32_t n) {
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n == 0) return out;
  int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, Wide(s), n,
                              reinterpret_cast<wchar_t*>(out.data()), n,
                              nullptr, nullptr, 0);
  if (written != n) out.assign(s, static_cast<size_t>(n));  // unmapped
  return out;
}

}  // namespace

const char16_t* StrStrW(const char16_t* text, const char16_t* search) {
  if (text == nullptr || search == nullptr || *search == 0) return nullptr;
  return reinterpret_cast<const char16_t*>(::StrStrW(Wide(text), Wide(search)));
}

const char16_t* StrStrIW(const char16_t* text, const char16_t* search) {
  if (text == nullptr || search == nullptr || *search == 0) return nullptr;
  std::u16string haystack = Upper(text, ::lstrlenW(Wide(text)));
  std::u16string needle = Upper(search, ::lstrlenW(Wide(search)));
  size_t at = haystack.find(needle);
  return at == std::u16string::npos ? nullptr : text + at;
}

int CompareStringOrdinal(const char16_t* s1, int32_t count1,
                         const char16_t* s2, int32_t count2,
                         bool ignore_case) {
  if (count1 < -1 || count2 < -1) return 0;
  if ((s1 == nullptr && count1 != 0) || (s2 == nullptr && count2 != 0)) return 0;
  // Win32 refuses a null pointer even for an empty range.
  if (s1 == nullptr) s1 = u"";
  if (s2 == nullptr) s2 = u"";
  return ::CompareStringOrdinal(Wide(s1), count1, Wide(s2), count2,
                                ignore_case ? TRUE : FALSE);
}

int32_t lstrlenW(const char16_t* s) { return ::lstrlenW(Wide(s)); }

int lstrcmpW(const char16_t* a, const char16_t* b) {
  return ::lstrcmpW(Wide(a), Wide(b));
}

int lstrcmpiW(const char16_t* a, const char16_t* b) {
  return ::lstrcmpiW(Wide(a), Wide(b));
}

// CompareStringOrdinal exists on every supported Windows (Vista and later).
bool OrdinalComparisonAvailable() { return true; }

}  // namespace corvalen
