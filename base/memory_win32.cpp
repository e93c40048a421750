#include <windows.h>

#include "base/memory.h"

namespace vantaro::detail {

void* mapZeroed(size_t size) { return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }

void unmap(void* data, size_t) { VirtualFree(data, 0, MEM_RELEASE); }

}  // namespace vantaro::detail
