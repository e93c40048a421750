#include <windows.h>

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
  void* p = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!p) return false;
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  return true;
}

void IndexMemory::release() {
  if (data_ && size_ < kMappedFrom) {
    std::free(data_);
  } else if (data_) {
    VirtualFree(data_, 0, MEM_RELEASE);
  }
  data_ = nullptr;
  size_ = 0;
}

}  // namespace vantaro
