// A native library's first bytes: the ELF header and program headers, read
// the way the 16 KB page check reads them (first the extent, then the table).
#include <cstddef>
#include <cstdint>

#include "package/elf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t end = vantaro::elfHeadersEnd(data, size);
  vantaro::ElfHeaders headers = vantaro::readElfHeaders(data, size);
  // Ok exactly when the header is valid and its table lies within the bytes.
  bool fits = end > 0 && end <= size;
  if (fits != (headers.status == vantaro::ElfHeaders::Status::Ok)) __builtin_trap();
  return 0;
}
