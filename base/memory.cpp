#include "base/memory.h"

#include <cstdlib>

namespace vantaro {

bool IndexMemory::allocate(size_t size) {
  release();
  if (size == 0) return true;
  data_ = static_cast<uint8_t*>(size < kMappedFrom ? std::calloc(size, 1) : detail::mapZeroed(size));
  size_ = data_ ? size : 0;
  return data_ != nullptr;
}

void IndexMemory::release() {
  if (data_ && size_ < kMappedFrom) {
    std::free(data_);
  } else if (data_) {
    detail::unmap(data_, size_);
  }
  data_ = nullptr;
  size_ = 0;
}

}  // namespace vantaro
