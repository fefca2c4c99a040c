#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/numbered_error.h"
#include "text/string_builder.h"

namespace corvalen {
namespace {

using Choice = clsStringBuilder::CompareChoice;

// Every case runs on both comparison paths of the field search: the ordinal
// comparison in the block and the locale comparison of terminated texts.
class FindTest : public ::testing::TestWithParam<Choice> {
 protected:
  std::unique_ptr<clsStringBuilder> Holding(std::u16string_view text) {
    clsStringBuilder::Options options;
    options.compare = GetParam();
    auto sb = std::make_unique<clsStringBuilder>(options);
    sb->Append(text);
    return sb;
  }
};

TEST_P(FindTest, WorkedExamples) {
  auto sb = Holding(u"red,green,blue");
  EXPECT_EQ(sb->OrdinalCompare(), GetParam() == Choice::kOrdinal);
  EXPECT_EQ(sb->Find(1, u"green", u","), 5);        // ",green," at 4
  EXPECT_EQ(sb->Find(1, u"red", u","), 1);          // first field
  EXPECT_EQ(sb->Find(1, u"blue", u","), 11);        // last field
  EXPECT_EQ(sb->Find(1, u"gree", u","), 0);
  EXPECT_EQ(sb->Find(6, u"green", u","), 0);        // its comma lies before 6
  EXPECT_EQ(sb->Find(1, u"green"), 5);
  EXPECT_EQ(sb->Find(1, u"GREEN"), 0);
  EXPECT_EQ(sb->Find(1, u"GREEN", u"", 1), 5);
  EXPECT_EQ(sb->Find(7, u"e"), 7);                  // from the content's start
  EXPECT_EQ(sb->ToString(), u"red,green,blue");     // nothing changed
}

TEST_P(FindTest, EmptyBuilder) {
  auto sb = Holding(u"");
  EXPECT_EQ(sb->Find(1, u"x"), 0);
  EXPECT_EQ(sb->Find(1, u"", u","), 0);
  EXPECT_EQ(sb->Find(1, u""), 1);
  EXPECT_EQ(sb->Find(2, u"x"), 0);
  EXPECT_EQ(sb->Find(2, u""), 0);
}

TEST_P(FindTest, EmptyFields) {
  EXPECT_EQ(Holding(u"a,,b")->Find(1, u"", u","), 3);
  EXPECT_EQ(Holding(u"a,,b")->Find(2, u"", u","), 3);
  EXPECT_EQ(Holding(u"a,,b")->Find(3, u"", u","), 0);
  EXPECT_EQ(Holding(u",a")->Find(1, u"", u","), 1);
  EXPECT_EQ(Holding(u",a")->Find(2, u"", u","), 0);
  EXPECT_EQ(Holding(u"a,")->Find(1, u"", u","), 3);   // just past the end
  EXPECT_EQ(Holding(u"a,")->Find(2, u"", u","), 3);
  EXPECT_EQ(Holding(u"a,")->Find(3, u"", u","), 0);
  EXPECT_EQ(Holding(u"a,b")->Find(1, u"", u","), 0);
  EXPECT_EQ(Holding(u"ab")->Find(1, u"", u","), 0);
  EXPECT_EQ(Holding(u",")->Find(1, u"", u","), 1);
  EXPECT_EQ(Holding(u"a||||b")->Find(1, u"", u"||"), 4);
  // The first and last delimiters compare by the string comparison in the
  // call's mode: case counts only in mode 0.
  EXPECT_EQ(Holding(u"Xab")->Find(1, u"", u"x"), 0);
  EXPECT_EQ(Holding(u"Xab")->Find(1, u"", u"x", 1), 1);
  EXPECT_EQ(Holding(u"abX")->Find(1, u"", u"x", 1), 4);
  EXPECT_EQ(Holding(u"aXxb")->Find(1, u"", u"x", 1), 3);
}

TEST_P(FindTest, WholeFirstAndLastFields) {
  EXPECT_EQ(Holding(u"a")->Find(1, u"a", u","), 1);     // the whole content
  EXPECT_EQ(Holding(u"a")->Find(1, u"b", u","), 0);
  EXPECT_EQ(Holding(u"ab")->Find(1, u"a", u","), 0);    // a prefix is no field
  EXPECT_EQ(Holding(u"ba")->Find(1, u"a", u","), 0);    // nor a suffix
  EXPECT_EQ(Holding(u"a,")->Find(1, u"a", u","), 1);
  EXPECT_EQ(Holding(u",a")->Find(1, u"a", u","), 2);
  EXPECT_EQ(Holding(u"a||bb||c")->Find(1, u"bb", u"||"), 4);
  EXPECT_EQ(Holding(u"a||bb||c")->Find(1, u"c", u"||"), 8);
  EXPECT_EQ(Holding(u"a||bb||c")->Find(1, u"a", u"||"), 1);
  auto sb = Holding(u"red,green,blue");
  EXPECT_EQ(sb->Find(1, u"RED", u",", 1), 1);
  EXPECT_EQ(sb->Find(1, u"GrEeN", u",", 1), 5);
  EXPECT_EQ(sb->Find(1, u"BLUE", u",", 1), 11);
  EXPECT_EQ(sb->Find(1, u"RED", u","), 0);
  EXPECT_EQ(sb->Find(1, u"BLUE", u","), 0);
  EXPECT_EQ(Holding(u"RED")->Find(1, u"red", u",", 1), 1);
}

TEST_P(FindTest, StartPosBeyondOne) {
  auto sb = Holding(u"red,green,blue");  // n = 14
  EXPECT_EQ(sb->Find(4, u"green", u","), 5);   // its comma at 4
  EXPECT_EQ(sb->Find(5, u"green", u","), 0);
  EXPECT_EQ(sb->Find(2, u"red", u","), 0);     // only StartPos 1 sees field 1
  EXPECT_EQ(sb->Find(10, u"blue", u","), 11);  // last field, comma at 10
  EXPECT_EQ(sb->Find(11, u"blue", u","), 0);
  EXPECT_EQ(sb->Find(9, u"e"), 14);
  EXPECT_EQ(sb->Find(14, u"e"), 14);
  EXPECT_EQ(sb->Find(15, u"e"), 0);            // n + 1: searches nothing
  EXPECT_EQ(sb->Find(15, u"e", u","), 0);
  EXPECT_EQ(sb->Find(15, u""), 1);             // empty text, no delimiter
  EXPECT_EQ(sb->Find(16, u"e"), 0);            // n + 2: step 1
  EXPECT_EQ(sb->Find(16, u""), 0);
  EXPECT_EQ(sb->Find(INT_MAX, u"e"), 0);
}

TEST_P(FindTest, StartPosBeforeTheContentFindsNothing) {
  auto sb = Holding(u"red,green,blue");
  for (int32_t start : {0, -1, -1000, INT_MIN + 1}) {
    EXPECT_EQ(sb->Find(start, u"red"), 0) << start;
    EXPECT_EQ(sb->Find(start, u"green", u","), 0) << start;
    EXPECT_EQ(sb->Find(start, u"", u","), 0) << start;
    EXPECT_EQ(sb->Find(start, u""), 0) << start;
  }
  try {
    sb->Find(INT_MIN, u"red");
    FAIL() << "StartPos - 1 overflowed silently";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST_P(FindTest, NulInsideContentEndsTheScan) {
  auto sb = Holding(std::u16string(u"abc\0def,x", 9));
  EXPECT_EQ(sb->Find(1, u"bc"), 2);
  EXPECT_EQ(sb->Find(1, u"def"), 0);
  EXPECT_EQ(sb->Find(5, u"def"), 5);  // a scan that starts after it sees it
  EXPECT_EQ(sb->Find(1, u"x", u","), 9);  // the last field is compared by count
}

TEST_P(FindTest, OtherCompareMethodsCountCase) {
  auto sb = Holding(u"red,green,blue");
  EXPECT_EQ(sb->Find(1, u"GREEN", u"", 2), 0);
  EXPECT_EQ(sb->Find(1, u"RED", u",", 2), 0);
  EXPECT_EQ(sb->Find(1, u"BLUE", u",", -1), 0);
  EXPECT_EQ(sb->Find(1, u"blue", u",", 2), 11);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, FindTest,
                         ::testing::Values(Choice::kOrdinal, Choice::kLocale),
                         [](const auto& info) {
                           return info.param == Choice::kOrdinal ? "Ordinal"
                                                                 : "Locale";
                         });

// The two paths differ where the locale comparison sees canonically
// equivalent text: U+212B ANGSTROM SIGN and U+00C5 are one letter to it.
TEST(FindPathsTest, LocaleComparisonEquatesCanonicalEquivalents) {
  clsStringBuilder::Options ordinal;
  ordinal.compare = Choice::kOrdinal;
  clsStringBuilder::Options locale;
  locale.compare = Choice::kLocale;
  clsStringBuilder a(ordinal), b(locale);
  a.Append(u"x,\u00C5");
  b.Append(u"x,\u00C5");
  EXPECT_EQ(a.Find(1, u"\u212B", u","), 0);   // last field, step 8
  EXPECT_EQ(b.Find(1, u"\u212B", u","), 3);
  a.StringData(u"\u212B,x");
  b.StringData(u"\u212B,x");
  EXPECT_EQ(a.Find(1, u"\u00C5", u","), 0);   // first field, step 5
  EXPECT_EQ(b.Find(1, u"\u00C5", u","), 1);
  a.StringData(u"\u212B");
  b.StringData(u"\u212B");
  EXPECT_EQ(a.Find(1, u"\u00C5", u","), 0);   // whole content, step 4
  EXPECT_EQ(b.Find(1, u"\u00C5", u","), 1);
  // The platform default on POSIX is the ordinal comparison.
  EXPECT_TRUE(clsStringBuilder().OrdinalCompare());
}

}  // namespace
}  // namespace corvalen
