// The wide-string functions on POSIX, built on ICU's case mapping, case
// folding and collation.
#include "platform/wide_string.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace corvalen {

namespace {

// Reads a counted range of UTF-16 code point by code point, mapped by `Map`
// (case folding or upper-casing), and yields the code units of the result.
template <UChar32 (*Map)(UChar32)>
class MappedUnits {
 public:
  MappedUnits(const char16_t* s, int32_t n) : s_(s), n_(n) {}
  bool Next(char16_t* unit) {
    if (pending_ != 0) {
      *unit = pending_;
      pending_ = 0;
      return true;
    }
    if (i_ >= n_) return false;
    UChar32 c;
    U16_NEXT(s_, i_, n_, c);
    c = Map(c);
    if (U_IS_BMP(c)) {
      *unit = static_cast<char16_t>(c);
    } else {
      *unit = U16_LEAD(c);
      pending_ = U16_TRAIL(c);
    }
    return true;
  }

 private:
  const char16_t* s_;
  int32_t i_ = 0;
  int32_t n_;
  char16_t pending_ = 0;
};

UChar32 Fold(UChar32 c) { return u_foldCase(c, U_FOLD_CASE_DEFAULT); }
UChar32 Upper(UChar32 c) { return u_toupper(c); }

int32_t Length(const char16_t* s) {
  return static_cast<int32_t>(std::char_traits<char16_t>::length(s));
}

// Whether the text at `text` (at most `available` units) starts with the
// case-folded search text `folded`.
bool MatchesFolded(const char16_t* text, int32_t available,
                   const std::u16string& folded) {
  MappedUnits<Fold> t(text, available);
  for (char16_t want : folded) {
    char16_t got;
    if (!t.Next(&got) || got != want) return false;
  }
  return true;
}

const icu::Collator* CollatorFor(icu::Collator::ECollationStrength strength) {
  // Collators are not shared between threads: one per thread and strength.
  thread_local std::unique_ptr<icu::Collator> tertiary;
  thread_local std::unique_ptr<icu::Collator> secondary;
  std::unique_ptr<icu::Collator>& slot =
      strength == icu::Collator::TERTIARY ? tertiary : secondary;
  if (!slot) {
    // The C/POSIX locale collates by code point, which no user locale does:
    // it stands for "no preference" and gets the root collation.
    icu::Locale locale = icu::Locale::getDefault();
    if (std::strcmp(locale.getVariant(), "POSIX") == 0 ||
        locale.getLanguage()[0] == '\0') {
      locale = icu::Locale::getRoot();
    }
    UErrorCode status = U_ZERO_ERROR;
    slot.reset(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status)) {
      slot.reset();
      return nullptr;
    }
    slot->setStrength(strength);
    slot->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
  }
  return slot.get();
}

int LocaleCompare(const char16_t* a, const char16_t* b, bool ignore_case) {
  if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
  const icu::Collator* collator =
      CollatorFor(ignore_case ? icu::Collator::SECONDARY : icu::Collator::TERTIARY);
  if (collator == nullptr) {
    // Without collation data the comparison falls back to the ordinal one.
    int r = CompareStringOrdinal(a, -1, b, -1, ignore_case);
    return r - kCstrEqual;
  }
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator->compare(a, Length(a), b, Length(b), status);
  if (U_FAILURE(status)) return CompareStringOrdinal(a, -1, b, -1, ignore_case) - kCstrEqual;
  return r == UCOL_LESS ? -1 : r == UCOL_EQUAL ? 0 : 1;
}

}  // namespace

const char16_t* StrStrW(const char16_t* text, const char16_t* search) {
  if (text == nullptr || search == nullptr || *search == 0) return nullptr;
  std::u16string_view haystack(text);
  size_t at = haystack.find(std::u16string_view(search));
  return at == std::u16string_view::npos ? nullptr : text + at;
}

const char16_t* StrStrIW(const char16_t* text, const char16_t* search) {
  if (text == nullptr || search == nullptr || *search == 0) return nullptr;
  std::u16string folded;
  MappedUnits<Fold> s(search, Length(search));
  for (char16_t u; s.Next(&u);) folded.push_back(u);
  int32_t n = Length(text);
  for (int32_t i = 0; i < n; ++i) {
    if (MatchesFolded(text + i, n - i, folded)) return text + i;
  }
  return nullptr;
}

int CompareStringOrdinal(const char16_t* s1, int32_t count1,
                         const char16_t* s2, int32_t count2,
                         bool ignore_case) {
  if (count1 < -1 || count2 < -1) return 0;
  if ((s1 == nullptr && count1 != 0) || (s2 == nullptr && count2 != 0)) return 0;
  if (count1 == -1) count1 = Length(s1);
  if (count2 == -1) count2 = Length(s2);
  if (!ignore_case) {
    int r = std::u16string_view(s1, count1).compare(std::u16string_view(s2, count2));
    return r < 0 ? kCstrLessThan : r == 0 ? kCstrEqual : kCstrGreaterThan;
  }
  MappedUnits<Upper> a(s1, count1);
  MappedUnits<Upper> b(s2, count2);
  for (;;) {
    char16_t ua, ub;
    bool more_a = a.Next(&ua);
    bool more_b = b.Next(&ub);
    if (!more_a || !more_b) {
      return more_a ? kCstrGreaterThan : more_b ? kCstrLessThan : kCstrEqual;
    }
    if (ua != ub) return ua < ub ? kCstrLessThan : kCstrGreaterThan;
  }
}

int32_t lstrlenW(const char16_t* s) { return s == nullptr ? 0 : Length(s); }

int lstrcmpW(const char16_t* a, const char16_t* b) {
  return LocaleCompare(a, b, false);
}

int lstrcmpiW(const char16_t* a, const char16_t* b) {
  return LocaleCompare(a, b, true);
}

bool OrdinalComparisonAvailable() { return true; }

char16_t UpperCaseUnit(char16_t c) {
  const UChar32 upper = u_toupper(static_cast<UChar32>(c));
  return upper > 0xFFFF ? c : static_cast<char16_t>(upper);
}

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t order =
      u_strCaseCompare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                       static_cast<int32_t>(b.size()), U_FOLD_CASE_DEFAULT, &status);
  return U_SUCCESS(status) && order == 0;
}

std::u16string CaseFoldKey(std::u16string_view text) {
  std::u16string folded(text.size() + 8, u'\0');
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()), text.data(),
                      static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      folded.assign(static_cast<size_t>(length), u'\0');
      continue;
    }
    if (U_FAILURE(status)) return std::u16string(text);
    folded.resize(static_cast<size_t>(length));
    return folded;
  }
}

}  // namespace corvalen
