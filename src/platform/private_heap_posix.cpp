// The private heap on POSIX (Linux): every block is an anonymous memory
// mapping of its own, with a small header that links it into the heap's list.
// Growing a block remaps its pages (mremap, which may move the mapping)
// instead of copying the content, and destroying the heap unmaps every block.
#include "platform/private_heap.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

namespace corvalen {

int64_t SystemPageSize() {
  long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<int64_t>(size) : 0;
}

void AdviseLargeBuffer(void* data, size_t bytes) {
  // Only ranges that can hold a whole 2 MiB large page are worth advising.
  constexpr size_t kLargePage = size_t{2} << 20;
  const size_t page = static_cast<size_t>(SystemPageSize() > 0 ? SystemPageSize() : 4096);
  auto start = reinterpret_cast<uintptr_t>(data);
  uintptr_t aligned = (start + page - 1) / page * page;
  if (data == nullptr || bytes < kLargePage + (aligned - start)) return;
  madvise(reinterpret_cast<void*>(aligned), (bytes - (aligned - start)) / page * page,
          MADV_HUGEPAGE);
}

struct PrivateHeap::Block {
  Block* prev;
  Block* next;
  size_t map_size;  // bytes mapped, header included, whole pages
  size_t size;      // usable bytes as requested
};

namespace {

// The header keeps the usable bytes aligned for any type.
constexpr size_t kHeaderSize =
    (sizeof(PrivateHeap::Block) + alignof(std::max_align_t) - 1) /
    alignof(std::max_align_t) * alignof(std::max_align_t);

// Bytes to map for `size` usable bytes, or 0 when that does not fit.
size_t MapSizeFor(size_t size) {
  static const size_t page = static_cast<size_t>(
      SystemPageSize() > 0 ? SystemPageSize() : 4096);
  if (size > std::numeric_limits<size_t>::max() - kHeaderSize - page) return 0;
  return (size + kHeaderSize + page - 1) / page * page;
}

PrivateHeap::Block* HeaderOf(void* block) {
  return reinterpret_cast<PrivateHeap::Block*>(static_cast<char*>(block) -
                                               kHeaderSize);
}

void* UsableOf(PrivateHeap::Block* header) {
  return reinterpret_cast<char*>(header) + kHeaderSize;
}

}  // namespace

std::unique_ptr<PrivateHeap> PrivateHeap::Create(size_t /*initial_size*/,
                                                 size_t maximum_size) {
  // Mappings are made on demand, so the initial size needs no reservation.
  return std::unique_ptr<PrivateHeap>(new (std::nothrow)
                                          PrivateHeap(maximum_size));
}

PrivateHeap::~PrivateHeap() {
  Block* b = blocks_;
  while (b != nullptr) {
    Block* next = b->next;
    munmap(b, b->map_size);
    b = next;
  }
}

void* PrivateHeap::Allocate(size_t size) {
  if (size == 0 || !WithinLimit(0, size)) return nullptr;
  size_t map_size = MapSizeFor(size);
  if (map_size == 0) return nullptr;
  void* base = mmap(nullptr, map_size, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  AdviseLargeBuffer(base, map_size);
  Block* b = static_cast<Block*>(base);
  b->prev = nullptr;
  b->next = blocks_;
  b->map_size = map_size;
  b->size = size;
  if (blocks_ != nullptr) blocks_->prev = b;
  blocks_ = b;
  in_use_ += size;
  return UsableOf(b);
}

void* PrivateHeap::Reallocate(void* block, size_t size) {
  if (block == nullptr) return Allocate(size);
  Block* b = HeaderOf(block);
  if (size == 0 || !WithinLimit(b->size, size)) return nullptr;
  size_t map_size = MapSizeFor(size);
  if (map_size == 0) return nullptr;
  if (map_size != b->map_size) {
    void* moved = mremap(b, b->map_size, map_size, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) return nullptr;  // the old mapping stays intact
    b = static_cast<Block*>(moved);
    b->map_size = map_size;
    AdviseLargeBuffer(b, map_size);
    if (b->prev != nullptr) b->prev->next = b; else blocks_ = b;
    if (b->next != nullptr) b->next->prev = b;
  }
  in_use_ = in_use_ - b->size + size;
  b->size = size;
  return UsableOf(b);
}

void PrivateHeap::Free(void* block) {
  if (block == nullptr) return;
  Block* b = HeaderOf(block);
  if (b->prev != nullptr) b->prev->next = b->next; else blocks_ = b->next;
  if (b->next != nullptr) b->next->prev = b->prev;
  in_use_ -= b->size;
  munmap(b, b->map_size);
}

}  // namespace corvalen
