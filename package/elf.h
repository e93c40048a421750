#pragma once
// The ELF header and program headers of a native library, read only as far
// as the memory-page question needs: the class, machine and the alignment of
// every loadable segment. The bytes are the start of the file (the rest is
// never needed); every offset and count is checked against them.

#include <cstddef>
#include <cstdint>

namespace vantaro {

// Program headers beyond this count refuse the file (real libraries have
// about ten).
constexpr uint32_t kMaxElfProgramHeaders = 512;

struct ElfHeaders {
  enum class Status { Ok, NotElf, Truncated, Malformed };
  Status status = Status::NotElf;
  bool is64 = false;
  uint16_t machine = 0;
  uint32_t loadSegments = 0;       // PT_LOAD entries
  uint64_t smallestLoadAlign = 0;  // of the PT_LOAD entries; 0 when there are none
};

// How many bytes from the start hold the ELF header and the program header
// table; 0 when data does not start with a valid ELF header.
uint64_t elfHeadersEnd(const uint8_t* data, size_t size);

// The facts of the headers; Truncated when data ends before the program
// header table does.
ElfHeaders readElfHeaders(const uint8_t* data, size_t size);

}  // namespace vantaro
