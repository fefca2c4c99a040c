// Searches and comparisons over UTF-16 text in the manner of the Windows
// string functions of the same names (Shlwapi StrStrW/StrStrIW, kernel32
// CompareStringOrdinal, lstrlenW, lstrcmpW, lstrcmpiW), and the case mapping
// the rest of the program uses. Texts are NUL-terminated unless a count or a
// view is given. Case mapping and collation come from the platform: ICU on
// POSIX, Win32 on Windows. A character is one UTF-16 code unit for
// positions; case is mapped code point by code point (an unpaired surrogate
// stands for itself) unless said otherwise.
#ifndef CORVALEN_PLATFORM_WIDE_STRING_H_
#define CORVALEN_PLATFORM_WIDE_STRING_H_

#include <cstdint>
#include <string>
#include <string_view>

namespace corvalen {

// The address of the first occurrence of `search` in `text`, matching code
// units exactly; null when there is none, when `search` is empty or when
// either pointer is null.
const char16_t* StrStrW(const char16_t* text, const char16_t* search);
// As StrStrW, ignoring case (simple case folding of each code point).
const char16_t* StrStrIW(const char16_t* text, const char16_t* search);

// Results of CompareStringOrdinal; 0 means the call failed.
enum : int {
  kCstrLessThan = 1,
  kCstrEqual = 2,
  kCstrGreaterThan = 3,
};

// Ordinal comparison of `count1` code units at `s1` with `count2` code units
// at `s2` (a count of -1 means up to the NUL terminator). Code units compare
// by value; with `ignore_case` each code point is upper-cased first. Returns
// kCstrLessThan, kCstrEqual or kCstrGreaterThan, or 0 for invalid arguments
// (a count below -1, or a null pointer with a non-zero count).
int CompareStringOrdinal(const char16_t* s1, int32_t count1,
                         const char16_t* s2, int32_t count2,
                         bool ignore_case);

// The number of code units before the NUL terminator; 0 for null.
int32_t lstrlenW(const char16_t* s);

// Locale comparison (the user's default locale, by collation; the root
// collation when the locale is C/POSIX) of two NUL-terminated texts:
// negative, 0 or positive. Canonically equivalent texts compare equal. A null
// text sorts before any other; two nulls are equal.
int lstrcmpW(const char16_t* a, const char16_t* b);
// As lstrcmpW, ignoring case (accents still count).
int lstrcmpiW(const char16_t* a, const char16_t* b);

// Whether CompareStringOrdinal is offered by the platform; callers that
// cannot rely on it compare with lstrcmpW/lstrcmpiW instead.
bool OrdinalComparisonAvailable();

// The simple upper-case mapping of one code unit, as a file system's upcase
// table holds it: one unit to one unit, locale-independent; a unit without
// an upper case within the Basic Multilingual Plane (surrogates included)
// maps to itself. Cheap: callers may map every unit of long texts.
char16_t UpperCaseUnit(char16_t c);

// Whether two texts are equal when letter case is ignored: full case folding
// on POSIX (ICU u_strCaseCompare: "STRASSE" equals "Straße"), an ordinal
// comparison of upper-cased code units on Windows (CompareStringOrdinal,
// where "ß" stays "ß"). Letters with a one-to-one case pair ("Ñ" and "ñ",
// "Ή" and "ή") compare equal on both.
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// A key for EqualIgnoringCase: EqualIgnoringCase(a, b) exactly when
// CaseFoldKey(a) == CaseFoldKey(b), for lookups in maps and sets. The
// case-folded text on POSIX, the upper-cased code units on Windows.
std::u16string CaseFoldKey(std::u16string_view text);

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_WIDE_STRING_H_
