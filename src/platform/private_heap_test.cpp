#include "platform/private_heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace corvalen {
namespace {

TEST(PrivateHeapTest, PageSizeIsAPowerOfTwo) {
  int64_t page = SystemPageSize();
  ASSERT_GT(page, 0);
  EXPECT_EQ(page & (page - 1), 0);
}

// Fills `size` bytes with a pattern that depends on the offset.
void Fill(void* p, size_t size) {
  auto* b = static_cast<unsigned char*>(p);
  for (size_t i = 0; i < size; ++i) b[i] = static_cast<unsigned char>(i * 7 + 3);
}
bool HasPattern(const void* p, size_t size) {
  auto* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < size; ++i) {
    if (b[i] != static_cast<unsigned char>(i * 7 + 3)) return false;
  }
  return true;
}

TEST(PrivateHeapTest, ReallocationKeepsContentWhileGrowingAndShrinking) {
  auto heap = PrivateHeap::Create(1 << 20, 0);
  ASSERT_TRUE(heap);
  // A second block sits behind the first so that growth may have to move.
  void* a = heap->Allocate(1 << 20);
  void* b = heap->Allocate(100);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  Fill(a, 1 << 20);
  Fill(b, 100);
  void* a2 = heap->Reallocate(a, 5 << 20);
  ASSERT_NE(a2, nullptr);
  EXPECT_TRUE(HasPattern(a2, 1 << 20));
  std::memset(static_cast<char*>(a2) + (1 << 20), 0xAB, 4 << 20);  // all usable
  void* a3 = heap->Reallocate(a2, 1000);
  ASSERT_NE(a3, nullptr);
  EXPECT_TRUE(HasPattern(a3, 1000));
  EXPECT_TRUE(HasPattern(b, 100));
  EXPECT_EQ(heap->BytesInUse(), 1100u);
  heap->Free(b);
  EXPECT_EQ(heap->BytesInUse(), 1000u);
  // a3 goes with the heap.
}

TEST(PrivateHeapTest, LimitMakesAllocationFailAndLeavesTheBlockIntact) {
  auto heap = PrivateHeap::Create(4096, 3 << 20);
  ASSERT_TRUE(heap);
  void* a = heap->Allocate(2 << 20);
  ASSERT_NE(a, nullptr);
  Fill(a, 2 << 20);
  EXPECT_EQ(heap->Allocate(2 << 20), nullptr);
  EXPECT_EQ(heap->Reallocate(a, 4 << 20), nullptr);
  EXPECT_TRUE(HasPattern(a, 2 << 20));
  EXPECT_EQ(heap->BytesInUse(), size_t{2} << 20);
  void* grown = heap->Reallocate(a, 3 << 20);  // exactly at the limit
  ASSERT_NE(grown, nullptr);
  EXPECT_TRUE(HasPattern(grown, 2 << 20));
  EXPECT_EQ(heap->Allocate(0), nullptr);
}

TEST(PrivateHeapTest, DestructionReleasesManyBlocksAtOnce) {
  auto heap = PrivateHeap::Create(4096, 0);
  ASSERT_TRUE(heap);
  std::vector<void*> blocks;
  for (int i = 1; i <= 50; ++i) {
    void* p = heap->Allocate(static_cast<size_t>(i) * 1000);
    ASSERT_NE(p, nullptr);
    Fill(p, static_cast<size_t>(i) * 1000);
    blocks.push_back(p);
  }
  // Free from the middle and the ends of the list, then grow the survivors.
  heap->Free(blocks[0]);
  heap->Free(blocks[25]);
  heap->Free(blocks[49]);
  for (int i : {10, 30, 48}) {
    void* p = heap->Reallocate(blocks[i], 1 << 20);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(HasPattern(p, static_cast<size_t>(i + 1) * 1000));
  }
  heap.reset();  // unmaps the 47 remaining blocks
}

}  // namespace
}  // namespace corvalen
