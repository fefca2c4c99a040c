#include "text/string_builder.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/numbered_error.h"

namespace corvalen {
namespace {

constexpr int32_t kChunk = 1048576;  // with 4 KiB pages

// Runs `f` and returns the number of the NumberedError it raises, or 0.
template <typename F>
int32_t ErrorOf(F&& f) {
  try {
    f();
  } catch (const NumberedError& e) {
    return e.number();
  }
  return 0;
}

// The content followed by its terminator must be what ToString returns.
void ExpectContent(const clsStringBuilder& sb, const std::u16string& want) {
  EXPECT_EQ(sb.ToString(), want);
  EXPECT_EQ(sb.Length(), static_cast<int32_t>(want.size()));
  if (want.empty()) {
    EXPECT_EQ(sb.ToStringPtr(), nullptr);
  } else {
    ASSERT_NE(sb.ToStringPtr(), nullptr);
    EXPECT_EQ(std::u16string(sb.ToStringPtr(), want.size()), want);
    EXPECT_EQ(sb.ToStringPtr()[want.size()], u'\0') << "terminator missing";
  }
}

std::unique_ptr<clsStringBuilder> Holding(std::u16string_view text) {
  auto sb = std::make_unique<clsStringBuilder>();
  sb->Append(text);
  return sb;
}

TEST(StringBuilderTest, NewBuilderIsEmptyWithOneChunk) {
  clsStringBuilder sb;
  ExpectContent(sb, u"");
  EXPECT_EQ(sb.ToStringLeft(5), u"");
  EXPECT_EQ(sb.ToStringLeft(-1), u"");   // no error while empty
  EXPECT_EQ(sb.ToStringRight(-7), u"");
  EXPECT_EQ(sb.ToStringMid(1, -1), u"");
  EXPECT_EQ(sb.ChunkSize(), kChunk);
  EXPECT_EQ(sb.Capacity(), kChunk);
  EXPECT_TRUE(sb.OrdinalCompare());
}

TEST(StringBuilderTest, ChunkIsRoundedUpToWholePages) {
  clsStringBuilder::Options odd;
  odd.page_size = 3000;
  clsStringBuilder sb(odd);
  EXPECT_EQ(sb.ChunkSize(), 1050000);  // 350 pages of 3000 bytes
  EXPECT_EQ(sb.Capacity(), 1050000);
  clsStringBuilder::Options big;
  big.page_size = 65536;
  EXPECT_EQ(clsStringBuilder(big).ChunkSize(), kChunk);  // already a multiple

  EXPECT_EQ(clsStringBuilder::RoundUp(10, 4), 12);
  EXPECT_EQ(clsStringBuilder::RoundUp(12, 4), 12);
  EXPECT_EQ(clsStringBuilder::RoundUp(1, kChunk), kChunk);
  EXPECT_EQ(clsStringBuilder::RoundUp(1677724, kChunk), 2 * kChunk);
  EXPECT_EQ(ErrorOf([] { clsStringBuilder::RoundUp(INT_MAX, kChunk); }), 6);
}

TEST(StringBuilderTest, ConstructionFailures) {
  clsStringBuilder::Options no_page;
  no_page.page_size = 0;
  try {
    clsStringBuilder sb(no_page);
    FAIL() << "constructed without a page size";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.description(), u"Cannot obtain page size");
  }
  clsStringBuilder::Options tiny_heap;
  tiny_heap.heap_limit = 4096;  // not even one chunk
  EXPECT_EQ(ErrorOf([&] { clsStringBuilder sb(tiny_heap); }), 7);
}

TEST(StringBuilderTest, AppendAndAppendLine) {
  clsStringBuilder sb;
  sb.Append(u"");
  ExpectContent(sb, u"");
  sb.AppendLine(u"");
  ExpectContent(sb, u"\r\n");
  sb.Clear();
  sb.Append(u"abc");
  ExpectContent(sb, u"abc");
  sb.AppendLine(u"de");
  sb.Append(u"ñ\U0001F600");
  ExpectContent(sb, u"abcde\r\nñ\U0001F600");
  EXPECT_EQ(sb.Length(), 10);  // the emoji is two code units
}

TEST(StringBuilderTest, NulInsideContentIsKeptAndCounted) {
  clsStringBuilder sb;
  const std::u16string with_nul(u"a\0b\0", 4);
  sb.Append(with_nul);
  sb.Append(u"c");
  ExpectContent(sb, std::u16string(u"a\0b\0c", 5));
  sb.Insert(2, std::u16string(u"\0", 1));
  ExpectContent(sb, std::u16string(u"a\0\0b\0c", 6));
  EXPECT_EQ(sb.ToStringRight(3), std::u16string(u"b\0c", 3));
  sb.StringData(std::u16string(u"\0", 1));
  ExpectContent(sb, std::u16string(u"\0", 1));
}

TEST(StringBuilderTest, Insert) {
  auto sb = Holding(u"abc");
  const char16_t* ptr = sb->ToStringPtr();
  sb->Insert(1, u"x");
  ExpectContent(*sb, u"xabc");
  sb = Holding(u"abc");
  sb->Insert(4, u"x");
  ExpectContent(*sb, u"abcx");
  sb = Holding(u"abc");
  sb->Insert(2, u"XY");
  ExpectContent(*sb, u"aXYbc");
  sb = Holding(u"abc");
  ptr = sb->ToStringPtr();
  for (int32_t pos : {5, 0, -1, INT_MAX}) sb->Insert(pos, u"x");
  sb->Insert(2, u"");
  ExpectContent(*sb, u"abc");
  sb->Insert(3, u"-");
  EXPECT_EQ(sb->ToStringPtr(), ptr);  // no growth, no move

  clsStringBuilder empty;
  empty.Insert(1, u"first");  // inserting at 1 of an empty builder appends
  ExpectContent(empty, u"first");
}

TEST(StringBuilderTest, Overwrite) {
  auto sb = Holding(u"abc");
  sb->Overwrite(2, u"XYZ");
  ExpectContent(*sb, u"aXYZ");
  sb = Holding(u"abc");
  sb->Overwrite(4, u"d");
  ExpectContent(*sb, u"abcd");
  sb = Holding(u"abc");
  sb->Overwrite(1, u"z");
  ExpectContent(*sb, u"zbc");
  sb->Overwrite(2, u"YZ");
  ExpectContent(*sb, u"zYZ");
  for (int32_t pos : {5, 0, -3}) sb->Overwrite(pos, u"q");
  sb->Overwrite(1, u"");
  ExpectContent(*sb, u"zYZ");
  // Overwriting the middle leaves the terminator after the old end.
  sb = Holding(u"abcdef");
  sb->Overwrite(2, u"12");
  ExpectContent(*sb, u"a12def");
}

TEST(StringBuilderTest, Remove) {
  auto sb = Holding(u"abcde");
  sb->Remove(2, 100);
  ExpectContent(*sb, u"a");
  sb = Holding(u"abcde");
  for (auto [pos, len] : {std::pair{6, 1}, {1, 0}, {0, 1}, {2, -1}, {-5, 3}}) {
    sb->Remove(pos, len);
  }
  ExpectContent(*sb, u"abcde");
  sb->Remove(2, 2);
  ExpectContent(*sb, u"ade");
  sb->Remove(3, 1);
  ExpectContent(*sb, u"ad");
  sb->Remove(1, 1);
  ExpectContent(*sb, u"d");
  sb->Remove(1, 1);
  ExpectContent(*sb, u"");
  EXPECT_EQ(sb->ToStringLeft(-1), u"");  // empty again: no error
  sb->Append(u"again");
  ExpectContent(*sb, u"again");
}

TEST(StringBuilderTest, Extraction) {
  auto sb = Holding(u"abcde");
  EXPECT_EQ(sb->ToStringMid(2, 3), u"bcd");
  EXPECT_EQ(sb->ToStringMid(5, 10), u"e");
  EXPECT_EQ(sb->ToStringMid(6, 1), u"");
  EXPECT_EQ(sb->ToStringMid(6, -1), u"");  // past the end wins over the length
  EXPECT_EQ(sb->ToStringMid(3, 0), u"");
  EXPECT_EQ(sb->ToStringMid(1, INT_MAX), u"abcde");
  EXPECT_EQ(ErrorOf([&] { sb->ToStringMid(2, -1); }), 5);
  EXPECT_EQ(sb->ToStringLeft(2), u"ab");
  EXPECT_EQ(sb->ToStringLeft(0), u"");
  EXPECT_EQ(sb->ToStringLeft(99), u"abcde");
  EXPECT_EQ(sb->ToStringRight(2), u"de");
  EXPECT_EQ(sb->ToStringRight(10), u"abcde");
  EXPECT_EQ(ErrorOf([&] { sb->ToStringLeft(-1); }), 5);
  EXPECT_EQ(ErrorOf([&] { sb->ToStringRight(-1); }), 5);
  try {
    sb->ToStringLeft(-1);
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.description(), u"Invalid procedure call or argument");
  }
}

TEST(StringBuilderTest, MidBeforeTheContentReadsNothing) {
  auto sb = Holding(u"abcde");
  EXPECT_EQ(sb->ToStringMid(0, 3), u"");
  EXPECT_EQ(sb->ToStringMid(-100, 200), u"");
  EXPECT_EQ(sb->ToStringMid(0, -1), u"");
  EXPECT_EQ(sb->ToStringMid(INT_MIN + 1, INT_MAX), u"");
}

TEST(StringBuilderTest, OverflowIsRaisedBeforeAnythingChanges) {
  auto sb = Holding(u"abcde");
  const char16_t* ptr = sb->ToStringPtr();
  EXPECT_EQ(ErrorOf([&] { sb->ToStringMid(INT_MIN, 1); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->ToStringMid(2, INT_MAX); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Insert(INT_MIN, u"x"); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Overwrite(INT_MIN, u"x"); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Remove(INT_MIN, 1); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Remove(2, INT_MAX); }), 6);
  // Sizes: the views below are never read, the checks stop them first.
  const std::u16string_view two_gib(u"x", 1u << 30);        // 2^31 bytes
  const std::u16string_view near_limit(u"x", (1u << 30) - 1);  // 2^31 - 2 bytes
  const std::u16string_view target_too_big(u"x", (1u << 30) - 2);
  EXPECT_EQ(ErrorOf([&] { sb->Append(two_gib); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Append(near_limit); }), 6);  // 10 + L + 2
  EXPECT_EQ(ErrorOf([&] { sb->AppendLine(near_limit); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Insert(1, near_limit); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->Overwrite(1, two_gib); }), 6);
  EXPECT_EQ(ErrorOf([&] { sb->StringData(two_gib); }), 6);
  clsStringBuilder empty;
  // Needed fits (2^31 - 2 bytes), but 1.6 x Capacity + L does not.
  EXPECT_EQ(ErrorOf([&] { empty.Append(target_too_big); }), 6);
  ExpectContent(empty, u"");
  EXPECT_EQ(empty.Capacity(), kChunk);
  try {
    sb->Remove(2, INT_MAX);
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.description(), u"Overflow");
  }
  ExpectContent(*sb, u"abcde");
  EXPECT_EQ(sb->ToStringPtr(), ptr);
}

TEST(StringBuilderTest, GrowthStepsAtTheChunkBoundary) {
  clsStringBuilder sb;
  const std::u16string half(kChunk / 4, u'a');  // 524,288 bytes
  sb.Append(half);
  sb.Append(std::u16string(kChunk / 4 - 1, u'b'));
  ASSERT_EQ(sb.Length() * 2, 1048574);
  EXPECT_EQ(sb.Capacity(), kChunk);  // 1,048,574 + 2 fits exactly
  // The next character brings the content to exactly 1,048,576 bytes, which
  // with the terminator needs 1,048,578: 1.6 x 1,048,576 + 2 -> 2 chunks.
  sb.Append(u"c");
  EXPECT_EQ(sb.Length() * 2, kChunk);
  EXPECT_EQ(sb.Capacity(), 2 * kChunk);
  EXPECT_EQ(sb.ToStringRight(2), u"bc");
  EXPECT_EQ(sb.ToStringPtr()[sb.Length()], u'\0');

  // The growth target counts the incoming text: 1,048,576 bytes at once into
  // an empty builder give 1.6 x 1 MiB + 1 MiB = 2.6 MiB -> 3 chunks.
  clsStringBuilder full;
  full.Append(std::u16string(kChunk / 2, u'z'));
  EXPECT_EQ(full.Capacity(), 3 * kChunk);
  // From 3 chunks, 1.6 x 3 MiB + 3 MiB = 7.8 MiB -> 8 chunks.
  full.Append(std::u16string(3 * kChunk / 2, u'y'));
  EXPECT_EQ(full.Capacity(), 8 * kChunk);
  EXPECT_EQ(full.Length(), 2 * kChunk);

  // AppendLine needs room for CR LF and the terminator.
  clsStringBuilder line;
  line.Append(std::u16string(kChunk / 2 - 3, u'l'));  // 1,048,570 bytes
  line.AppendLine(u"");                               // needs exactly 1,048,576
  EXPECT_EQ(line.Capacity(), kChunk);
  line.Remove(1, 1);
  line.AppendLine(u"x");  // needs 1,048,580: 1.6 x 1 MiB + 2 -> 2 chunks
  EXPECT_EQ(line.Capacity(), 2 * kChunk);
  EXPECT_EQ(line.ToStringRight(5), u"\r\nx\r\n");
}

TEST(StringBuilderTest, OverwriteAndInsertGrowAtTheBoundary) {
  clsStringBuilder sb;
  sb.Append(std::u16string(kChunk / 2 - 2, u'a'));  // 1,048,572 bytes
  sb.Overwrite(kChunk / 2 - 2, u"XY");  // ends at 1,048,574 bytes: fits
  EXPECT_EQ(sb.Capacity(), kChunk);
  sb.Insert(1, u"Q");  // needs 1,048,578
  EXPECT_EQ(sb.Capacity(), 2 * kChunk);
  EXPECT_EQ(sb.ToStringLeft(2), u"Qa");
  EXPECT_EQ(sb.ToStringRight(3), u"aXY");
}

TEST(StringBuilderTest, ClearAndStringDataShrinkToOneChunk) {
  clsStringBuilder sb;
  sb.Append(std::u16string(3 * kChunk, u'x'));
  EXPECT_GT(sb.Capacity(), kChunk);
  sb.Clear();
  ExpectContent(sb, u"");
  EXPECT_EQ(sb.Capacity(), kChunk);

  sb.Append(std::u16string(kChunk, u'x'));
  int32_t grown = sb.Capacity();
  sb.Remove(1, kChunk);  // Remove never shrinks
  ExpectContent(sb, u"");
  EXPECT_EQ(sb.Capacity(), grown);
  sb.Clear();  // already empty: the block keeps its size
  EXPECT_EQ(sb.Capacity(), grown);

  sb.Append(u"long text");
  sb.StringData(u"x");
  ExpectContent(sb, u"x");
  EXPECT_EQ(sb.Capacity(), kChunk);
  sb.StringData(u"");
  ExpectContent(sb, u"");

  // StringData ends where Clear and Append would: from one chunk for a
  // non-empty builder, from the present block for an empty one.
  sb.Append(std::u16string(3 * kChunk, u'x'));
  sb.StringData(std::u16string(kChunk / 2, u'y'));  // 1.6 MiB + 1 MiB -> 3
  EXPECT_EQ(sb.Capacity(), 3 * kChunk);
  EXPECT_EQ(sb.Length(), kChunk / 2);
  EXPECT_EQ(sb.ToStringPtr()[kChunk / 2], u'\0');
  sb.Append(std::u16string(2 * kChunk, u'x'));
  grown = sb.Capacity();
  sb.Remove(1, sb.Length());
  sb.StringData(u"short");
  ExpectContent(sb, u"short");
  EXPECT_EQ(sb.Capacity(), grown);
}

TEST(StringBuilderTest, TextFromItsOwnBlockSurvivesGrowth) {
  clsStringBuilder sb;
  sb.Append(std::u16string(kChunk / 2 - 4, u'a'));
  sb.Append(u"tail");
  // A view of the builder's own content, appended while the block must grow.
  std::u16string_view own(sb.ToStringPtr(), static_cast<size_t>(sb.Length()));
  sb.Append(own);
  EXPECT_EQ(sb.Length(), kChunk);
  EXPECT_EQ(sb.ToStringRight(5), u"atail");
  sb.Insert(1, std::u16string_view(sb.ToStringPtr() + sb.Length() - 4, 4));
  EXPECT_EQ(sb.ToStringLeft(5), u"taila");
  sb.StringData(std::u16string_view(sb.ToStringPtr(), 3));
  ExpectContent(sb, u"tai");
  sb.Overwrite(2, std::u16string_view(sb.ToStringPtr(), 3));
  ExpectContent(sb, u"ttai");
}

TEST(StringBuilderTest, FailedGrowthRaisesOutOfMemoryAndKeepsEverything) {
  clsStringBuilder::Options limited;
  limited.heap_limit = 2 * kChunk;
  clsStringBuilder sb(limited);
  sb.Append(std::u16string(kChunk / 2 - 1, u'a'));  // fills the first chunk
  const char16_t* ptr = sb.ToStringPtr();
  // Growing to 2 chunks stays within the limit; 1.6 x 2 MiB + L does not.
  sb.Append(u"b");
  EXPECT_EQ(sb.Capacity(), 2 * kChunk);
  ptr = sb.ToStringPtr();
  const std::u16string before = sb.ToString();
  const std::u16string big(kChunk / 2, u'c');
  try {
    sb.Append(big);
    FAIL() << "growth beyond the heap limit succeeded";
  } catch (const NumberedError& e) {
    EXPECT_EQ(e.number(), 7);
    EXPECT_EQ(e.description(), u"Out of memory");
  }
  EXPECT_EQ(ErrorOf([&] { sb.AppendLine(big); }), 7);
  EXPECT_EQ(ErrorOf([&] { sb.Insert(1, big); }), 7);
  EXPECT_EQ(ErrorOf([&] { sb.Overwrite(1, std::u16string(kChunk, u'c')); }), 7);
  EXPECT_EQ(ErrorOf([&] { sb.StringData(std::u16string(kChunk, u'c')); }), 7);
  EXPECT_EQ(sb.Capacity(), 2 * kChunk);
  EXPECT_EQ(sb.ToStringPtr(), ptr);
  ExpectContent(sb, before);
  sb.Append(u"still works");
  EXPECT_EQ(sb.ToStringRight(11), u"still works");
}

}  // namespace
}  // namespace corvalen
