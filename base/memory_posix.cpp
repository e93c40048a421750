#include <sys/mman.h>

#include <cstdlib>

#include "base/memory.h"

namespace vantaro {

bool IndexMemory::allocate(size_t size) {
  release();
  if (size == 0) return true;
  if (size < kMappedFrom) {
    data_ = static_cast<uint8_t*>(std::calloc(size, 1));
    size_ = data_ ? size : 0;
    return data_ != nullptr;
  }
  // MAP_POPULATE: every page at once, instead of a fault per page while the
  // index is filled.
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (p == MAP_FAILED) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  return true;
}

void IndexMemory::release() {
  if (data_ && size_ < kMappedFrom) {
    std::free(data_);
  } else if (data_) {
    munmap(data_, size_);
  }
  data_ = nullptr;
  size_ = 0;
}

}  // namespace vantaro
