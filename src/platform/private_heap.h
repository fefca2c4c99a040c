// A private growable heap: blocks of memory owned by one heap object, kept
// apart from the process heap, and released all together when the heap is
// destroyed.
#ifndef CORVALEN_PLATFORM_PRIVATE_HEAP_H_
#define CORVALEN_PLATFORM_PRIVATE_HEAP_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace corvalen {

// The platform's memory page size in bytes; 0 when it cannot be obtained.
int64_t SystemPageSize();

// Advises the system that the fresh memory at [data, data + bytes) is about
// to be filled as a whole, so that it may back it with large pages: faulting
// large texts in page by page costs more than copying them. Advice only: it
// changes no content and failing is harmless. Small ranges are left alone.
void AdviseLargeBuffer(void* data, size_t bytes);

// Not thread-safe: one thread per heap, nothing locks.
class PrivateHeap {
 public:
  // Creates a heap. `initial_size` is a hint of what will be asked first;
  // `maximum_size` bounds the bytes of all live blocks together (0 = no
  // bound). Returns null when the heap cannot be created.
  static std::unique_ptr<PrivateHeap> Create(size_t initial_size,
                                             size_t maximum_size);

  // Releases every block of the heap in one step.
  ~PrivateHeap();
  PrivateHeap(const PrivateHeap&) = delete;
  PrivateHeap& operator=(const PrivateHeap&) = delete;

  // A block of exactly `size` usable bytes (`size` > 0), not zeroed, or null
  // when the memory cannot be had.
  void* Allocate(size_t size);
  // Resizes `block` (from this heap) to `size` bytes (> 0). The block may
  // move; its content is kept up to the smaller of both sizes. Returns the
  // new address, or null on failure, in which case `block` is left untouched
  // and still valid.
  void* Reallocate(void* block, size_t size);
  // Releases one block of this heap; null does nothing.
  void Free(void* block);

  // Bytes of all live blocks as requested (for tests and accounting).
  size_t BytesInUse() const { return in_use_; }

  // The platform's bookkeeping for one block; opaque to callers.
  struct Block;

 private:
  explicit PrivateHeap(size_t maximum_size) : maximum_size_(maximum_size) {}
  bool WithinLimit(size_t old_size, size_t new_size) const;

  size_t maximum_size_;
  size_t in_use_ = 0;
  Block* blocks_ = nullptr;  // doubly linked list of live blocks
};

}  // namespace corvalen

#endif  // CORVALEN_PLATFORM_PRIVATE_HEAP_H_
