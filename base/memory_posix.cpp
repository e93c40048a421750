#include <sys/mman.h>

#include "base/memory.h"

namespace vantaro::detail {

void* mapZeroed(size_t size) {
  // MAP_POPULATE: every page at once, instead of a fault per page while the
  // index is filled.
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void unmap(void* data, size_t size) { munmap(data, size); }

}  // namespace vantaro::detail
