// The private heap on Windows: a growable Win32 heap of its own (HeapCreate
// with no maximum), whose blocks come from HeapAlloc/HeapReAlloc/HeapFree.
// HeapDestroy releases every block at once, so the heap keeps no list of its
// blocks: its one bookkeeping record, which holds the heap's handle, is
// itself a block of the heap.
#include "platform/private_heap.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace corvalen {

int64_t SystemPageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int64_t>(info.dwPageSize);
}

// Large pages on Windows need the "lock pages in memory" privilege, which an
// ordinary user does not hold; the advice is dropped.
void AdviseLargeBuffer(void* /*data*/, size_t /*bytes*/) {}

struct PrivateHeap::Block {
  HANDLE heap;
};

std::unique_ptr<PrivateHeap> PrivateHeap::Create(size_t initial_size,
                                                 size_t maximum_size) {
  // No HEAP_NO_SERIALIZE: the heap keeps Windows' own locking. A maximum of
  // 0 makes it growable; the byte limit is kept by WithinLimit instead.
  HANDLE handle = HeapCreate(0, initial_size, 0);
  if (handle == nullptr) return nullptr;
  auto* record = static_cast<Block*>(HeapAlloc(handle, 0, sizeof(Block)));
  std::unique_ptr<PrivateHeap> heap(
      record == nullptr ? nullptr : new (std::nothrow) PrivateHeap(maximum_size));
  if (!heap) {
    HeapDestroy(handle);
    return nullptr;
  }
  record->heap = handle;
  heap->blocks_ = record;
  return heap;
}

PrivateHeap::~PrivateHeap() { HeapDestroy(blocks_->heap); }

void* PrivateHeap::Allocate(size_t size) {
  if (size == 0 || !WithinLimit(0, size)) return nullptr;
  void* block = HeapAlloc(blocks_->heap, 0, size);
  if (block == nullptr) return nullptr;
  in_use_ += size;
  return block;
}

void* PrivateHeap::Reallocate(void* block, size_t size) {
  if (block == nullptr) return Allocate(size);
  HANDLE heap = blocks_->heap;
  // HeapSize reports the size as requested, which is what BytesInUse counts.
  SIZE_T old_size = HeapSize(heap, 0, block);
  if (size == 0 || old_size == static_cast<SIZE_T>(-1) ||
      !WithinLimit(old_size, size)) {
    return nullptr;
  }
  // On failure HeapReAlloc returns null and leaves the block as it was.
  void* moved = HeapReAlloc(heap, 0, block, size);
  if (moved == nullptr) return nullptr;
  in_use_ = in_use_ - old_size + size;
  return moved;
}

void PrivateHeap::Free(void* block) {
  if (block == nullptr) return;
  HANDLE heap = blocks_->heap;
  SIZE_T size = HeapSize(heap, 0, block);
  if (size != static_cast<SIZE_T>(-1)) in_use_ -= size;
  HeapFree(heap, 0, block);
}

}  // namespace corvalen
