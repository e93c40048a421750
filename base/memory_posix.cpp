#include <sys/mman.h>

#include <cstdint>

#include "base/memory.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace vantaro::detail {

namespace {
constexpr size_t kHugePage = 2u << 20;
}

// A block of several megabytes (the index of a package with tens of
// thousands of members) is asked for in transparent huge pages, aligned to
// them: a handful of faults and page-table entries instead of thousands,
// which is most of what such an index costs. Where the system gives none
// (or cannot fill the block at once, before Linux 5.14) the pages come as
// usual.
void* mapZeroed(size_t size) {
  if (size >= kHugePage) {
    size_t whole = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* raw = mmap(nullptr, whole + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw != MAP_FAILED) {
      uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + kHugePage - 1) & ~(uintptr_t(kHugePage) - 1);
      size_t head = start - reinterpret_cast<uintptr_t>(raw);
      if (head) munmap(raw, head);
      size_t tail = kHugePage - head;
      if (tail) munmap(reinterpret_cast<void*>(start + whole), tail);
      void* p = reinterpret_cast<void*>(start);
      madvise(p, whole, MADV_HUGEPAGE);
      madvise(p, whole, MADV_POPULATE_WRITE);
      return p;
    }
  }
  // MAP_POPULATE: every page at once, instead of a fault per page while the
  // index is filled.
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

void unmap(void* data, size_t size) {
  if (size >= kHugePage) size = (size + kHugePage - 1) / kHugePage * kHugePage;
  munmap(data, size);
}

}  // namespace vantaro::detail
