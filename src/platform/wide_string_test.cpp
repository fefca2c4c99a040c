#include "platform/wide_string.h"

#include <gtest/gtest.h>

namespace corvalen {
namespace {

TEST(WideStringTest, StrStrWFindsFirstExactOccurrence) {
  const char16_t* text = u"abcabcABC";
  EXPECT_EQ(StrStrW(text, u"bc"), text + 1);
  EXPECT_EQ(StrStrW(text, u"ABC"), text + 6);
  EXPECT_EQ(StrStrW(text, u"abcabcABC"), text);
  EXPECT_EQ(StrStrW(text, u"abcabcABCx"), nullptr);
  EXPECT_EQ(StrStrW(text, u"Bc"), nullptr);
  EXPECT_EQ(StrStrW(text, u""), nullptr);
  EXPECT_EQ(StrStrW(nullptr, u"a"), nullptr);
  EXPECT_EQ(StrStrW(text, nullptr), nullptr);
  // The text ends at its first U+0000.
  const char16_t with_nul[] = {u'a', u'b', 0, u'c', u'd', 0};
  EXPECT_EQ(StrStrW(with_nul, u"cd"), nullptr);
}

TEST(WideStringTest, StrStrIWIgnoresCaseBeyondAscii) {
  const char16_t* text = u"xxAÑOS Über straße";
  EXPECT_EQ(StrStrIW(text, u"años"), text + 2);
  EXPECT_EQ(StrStrIW(text, u"über"), text + 7);
  EXPECT_EQ(StrStrIW(text, u"STRASSE"), nullptr);  // no full folding: ß stays one unit
  EXPECT_EQ(StrStrIW(text, u"STRAßE"), text + 12);
  const char16_t* greek = u"ΣΊΣΥΦΟΣ";
  EXPECT_EQ(StrStrIW(greek, u"ίσυ"), greek + 1);
  // A supplementary letter (Deseret) matches its other case.
  const char16_t* deseret = u"a\U00010400b";
  EXPECT_EQ(StrStrIW(deseret, u"\U00010428B"), deseret + 1);
  EXPECT_EQ(StrStrIW(text, u""), nullptr);
  EXPECT_EQ(StrStrIW(u"abc", u"abcd"), nullptr);
}

TEST(WideStringTest, CompareStringOrdinalComparesCountedRanges) {
  EXPECT_EQ(CompareStringOrdinal(u"abc", 3, u"abc", 3, false), kCstrEqual);
  EXPECT_EQ(CompareStringOrdinal(u"abc", 3, u"abd", 3, false), kCstrLessThan);
  EXPECT_EQ(CompareStringOrdinal(u"abd", 3, u"abc", 3, false), kCstrGreaterThan);
  EXPECT_EQ(CompareStringOrdinal(u"ab", 2, u"abc", 3, false), kCstrLessThan);
  EXPECT_EQ(CompareStringOrdinal(u"abcdef", 3, u"abcxyz", 3, false), kCstrEqual);
  EXPECT_EQ(CompareStringOrdinal(u"abc", -1, u"abc", 3, false), kCstrEqual);
  EXPECT_EQ(CompareStringOrdinal(u"Abc", 3, u"aBC", 3, false), kCstrLessThan);
  EXPECT_EQ(CompareStringOrdinal(u"Abc", 3, u"aBC", 3, true), kCstrEqual);
  EXPECT_EQ(CompareStringOrdinal(u"ñandú", -1, u"ÑANDÚ", -1, true), kCstrEqual);
  // Ignoring case upper-cases: 'a' becomes 'A', which sorts before '_'.
  EXPECT_EQ(CompareStringOrdinal(u"_", 1, u"a", 1, true), kCstrGreaterThan);
  // Counted ranges include U+0000.
  const char16_t x[] = {u'a', 0, u'b'};
  const char16_t y[] = {u'a', 0, u'c'};
  EXPECT_EQ(CompareStringOrdinal(x, 3, y, 3, false), kCstrLessThan);
  EXPECT_EQ(CompareStringOrdinal(x, 0, nullptr, 0, false), kCstrEqual);
  EXPECT_EQ(CompareStringOrdinal(u"a", -2, u"a", 1, false), 0);
  EXPECT_EQ(CompareStringOrdinal(nullptr, 1, u"a", 1, false), 0);
}

TEST(WideStringTest, LocaleComparisons) {
  EXPECT_EQ(lstrlenW(u"héllo"), 5);
  EXPECT_EQ(lstrlenW(u""), 0);
  EXPECT_EQ(lstrlenW(nullptr), 0);

  EXPECT_EQ(lstrcmpW(u"abc", u"abc"), 0);
  EXPECT_LT(lstrcmpW(u"abc", u"abd"), 0);
  EXPECT_GT(lstrcmpW(u"abd", u"abc"), 0);
  EXPECT_NE(lstrcmpW(u"abc", u"ABC"), 0);
  // Collation, not code units: accented letters sort next to their base.
  EXPECT_LT(lstrcmpW(u"é", u"f"), 0);
  // Canonically equivalent texts are equal (precomposed and combining).
  EXPECT_EQ(lstrcmpW(u"caf\u00e9", u"cafe\u0301"), 0);

  EXPECT_EQ(lstrcmpiW(u"GrEeN", u"green"), 0);
  EXPECT_NE(lstrcmpiW(u"é", u"e"), 0);
  EXPECT_LT(lstrcmpiW(u"apple", u"BANANA"), 0);

  EXPECT_EQ(lstrcmpW(nullptr, nullptr), 0);
  EXPECT_LT(lstrcmpW(nullptr, u""), 0);
  EXPECT_GT(lstrcmpiW(u"a", nullptr), 0);
  EXPECT_TRUE(OrdinalComparisonAvailable());
}

TEST(CaseMappingTest, UpperCaseUnitMapsOneUnitToOne) {
  EXPECT_EQ(UpperCaseUnit(u'a'), u'A');
  EXPECT_EQ(UpperCaseUnit(u'Z'), u'Z');
  EXPECT_EQ(UpperCaseUnit(u'_'), u'_');
  EXPECT_EQ(UpperCaseUnit(u'ñ'), u'Ñ');
  EXPECT_EQ(UpperCaseUnit(u'ή'), u'Ή');
  EXPECT_EQ(UpperCaseUnit(u'ß'), u'ß');  // no one-unit upper case
  EXPECT_EQ(UpperCaseUnit(0xD801), 0xD801);
}

TEST(CaseMappingTest, EqualIgnoringCaseAndItsKeyAgree) {
  const std::u16string names[] = {u"CATALOGOS", u"catalogos", u"Catálogos", u"CATÁLOGOS",
                                  u"catalogo", u"ÑANDÚ", u"ñandú", u"ΑΘΉΝΑ", u"αθήνα",
                                  u"", u"a\U00010400", u"a\U00010400b"};
  for (const std::u16string& a : names) {
    for (const std::u16string& b : names) {
      EXPECT_EQ(EqualIgnoringCase(a, b), CaseFoldKey(a) == CaseFoldKey(b))
          << testing::PrintToString(a) << " " << testing::PrintToString(b);
    }
  }
  EXPECT_TRUE(EqualIgnoringCase(u"Catálogos", u"CATÁLOGOS"));
  EXPECT_TRUE(EqualIgnoringCase(u"ñandú", u"ÑANDÚ"));
  EXPECT_TRUE(EqualIgnoringCase(u"ΑΘΉΝΑ", u"αθήνα"));
  EXPECT_FALSE(EqualIgnoringCase(u"Catálogos", u"CATALOGOS"));  // accents count
  EXPECT_FALSE(EqualIgnoringCase(u"catalogo", u"catalogos"));
}

}  // namespace
}  // namespace corvalen
