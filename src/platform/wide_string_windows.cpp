// The wide-string functions on Windows: the Win32 functions of the same names
// (Shlwapi StrStrW, kernel32 CompareStringOrdinal, lstrlenW, lstrcmpW and
// lstrcmpiW, which collate in the user's locale), with the arguments checked
// as the header describes. Windows' ordinal comparison maps case within the
// Basic Multilingual Plane only. StrStrIW is not Shlwapi's, which compares
// in the user's locale and misses letters beyond that plane: both texts are
// upper-cased with the invariant locale's mapping (LCMapStringEx, code point
// by code point, surrogate pairs included) and searched code unit by code
// unit. UpperCaseUnit reads a table of the invariant locale's mapping of
// every code unit, made once; EqualIgnoringCase is CompareStringOrdinal.
#include "platform/wide_string.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/wide_chars_windows.h"

namespace corvalen {

namespace {

// The invariant upper-case mapping of `n` code units, as many code units.
std::u16string Upper(const char16_t* s, int32_t n) {
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (n == 0) return out;
  int written = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, Wide(s), n,
                              Wide(out.data()), n,
                              nullptr, nullptr, 0);
  if (written != n) out.assign(s, static_cast<size_t>(n));  // unmapped
  return out;
}

// The invariant upper-case mapping of every code unit. Surrogates map to
// themselves; the other units are mapped in two runs, each one unit to one.
std::array<char16_t, 0x10000> BuildUpperTable() {
  std::array<char16_t, 0x10000> table;
  for (size_t c = 0; c < table.size(); ++c) table[c] = static_cast<char16_t>(c);
  for (auto [begin, end] : {std::pair<size_t, size_t>{0, 0xD800}, {0xE000, 0x10000}}) {
    const std::u16string upper = Upper(table.data() + begin, static_cast<int32_t>(end - begin));
    std::copy(upper.begin(), upper.end(), table.begin() + static_cast<ptrdiff_t>(begin));
  }
  return table;
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

char16_t UpperCaseUnit(char16_t c) {
  static const std::array<char16_t, 0x10000> table = BuildUpperTable();
  return table[c];
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  // Upper-casing keeps the number of code units.
  if (a.size() != b.size()) return false;
  if (a.size() > INT32_MAX) return CaseFoldKey(a) == CaseFoldKey(b);
  return ::CompareStringOrdinal(Wide(a.empty() ? u"" : a.data()), static_cast<int>(a.size()),
                                Wide(b.empty() ? u"" : b.data()), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::u16string CaseFoldKey(std::u16string_view text) {
  std::u16string key(text);
  for (char16_t& c : key) c = UpperCaseUnit(c);
  return key;
}

}  // namespace corvalen
