// What every system's private heap shares: the accounting against its limit.
#include "platform/private_heap.h"

namespace corvalen {

bool PrivateHeap::WithinLimit(size_t old_size, size_t new_size) const {
  if (maximum_size_ == 0) return true;
  size_t others = in_use_ - old_size;
  return new_size <= maximum_size_ && others <= maximum_size_ - new_size;
}

}  // namespace corvalen
