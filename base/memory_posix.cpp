#include <sys/mman.h>

#include <cstdint>

#include "base/memory.h"

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif

namespace vantaro::detail {

namespace {
constexpr size_t kHugePage = 2u << 20;
constexpr size_t kHugeFrom = 1u << 20;
}

// A mapped block is filled at once. One of a megabyte or more (the index of
// a package with a hundred thousand members, a large member read whole) is
// asked for in transparent huge pages, aligned to them: one fault and
// page-table entry per 2 MiB instead of one per 4 KiB page, which is most of
// what such a block costs (on a virtual machine a 4 KiB page costs about a
// microsecond). Where the system gives none (or cannot fill the block at
// once, before Linux 5.14) the pages come as usual.
void* mapZeroed(size_t size) {
  if (size < kHugeFrom) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    madvise(p, size, MADV_POPULATE_WRITE);
    return p;
  }
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
  return nullptr;
}

void unmap(void* data, size_t size) {
  munmap(data, size < kHugeFrom ? size : (size + kHugePage - 1) / kHugePage * kHugePage);
}

}  // namespace vantaro::detail
