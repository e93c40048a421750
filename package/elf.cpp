#include "package/elf.h"

#include <algorithm>

namespace vantaro {
namespace {

constexpr uint32_t kLoadSegment = 1;  // PT_LOAD
constexpr uint16_t kExtendedCount = 0xFFFF;  // PN_XNUM: the count lives in section 0

// Reads little- or big-endian integers from a span whose bounds are checked
// before every read.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size, bool bigEndian) : data_(data), size_(size), big_(bigEndian) {}
  bool has(uint64_t offset, uint64_t count) const { return offset <= size_ && count <= size_ - offset; }
  bool get(uint64_t offset, unsigned bytes, uint64_t& out) const {
    if (!has(offset, bytes)) return false;
    out = 0;
    for (unsigned i = 0; i < bytes; ++i) {
      unsigned shift = big_ ? 8 * (bytes - 1 - i) : 8 * i;
      out |= uint64_t{data_[offset + i]} << shift;
    }
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  bool big_;
};

struct Table {
  bool is64 = false;
  bool bigEndian = false;
  uint16_t machine = 0;
  uint64_t offset = 0;
  uint32_t entrySize = 0;
  uint32_t count = 0;
};

// The identification and the program header table's place; false when this
// is no ELF header or its fields cannot be right.
bool readTable(const uint8_t* data, size_t size, Table& table, bool& elf) {
  elf = false;
  if (!data || size < 16 || data[0] != 0x7F || data[1] != 'E' || data[2] != 'L' || data[3] != 'F') return false;
  elf = true;
  uint8_t elfClass = data[4], encoding = data[5];
  if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2)) return false;
  table.is64 = elfClass == 2;
  table.bigEndian = encoding == 2;
  Reader r(data, size, table.bigEndian);
  uint64_t machine, offset, entrySize, count, headerSize;
  bool ok = table.is64 ? r.get(18, 2, machine) && r.get(32, 8, offset) && r.get(52, 2, headerSize) &&
                             r.get(54, 2, entrySize) && r.get(56, 2, count)
                       : r.get(18, 2, machine) && r.get(28, 4, offset) && r.get(40, 2, headerSize) &&
                             r.get(42, 2, entrySize) && r.get(44, 2, count);
  if (!ok) return false;
  uint32_t minimumEntry = table.is64 ? 56 : 32;
  uint32_t minimumHeader = table.is64 ? 64 : 52;
  if (headerSize < minimumHeader || count == kExtendedCount || count > kMaxElfProgramHeaders) return false;
  if (count > 0 && (entrySize < minimumEntry || offset < headerSize)) return false;
  // offset + count * entrySize cannot wrap: count and entrySize are 16-bit.
  if (offset > (uint64_t{1} << 48)) return false;
  table.machine = static_cast<uint16_t>(machine);
  table.offset = offset;
  table.entrySize = static_cast<uint32_t>(entrySize);
  table.count = static_cast<uint32_t>(count);
  return true;
}

}  // namespace

uint64_t elfHeadersEnd(const uint8_t* data, size_t size) {
  Table table;
  bool elf;
  if (!readTable(data, size, table, elf)) return 0;
  uint64_t header = table.is64 ? 64 : 52;
  return std::max(header, table.offset + uint64_t{table.count} * table.entrySize);
}

ElfHeaders readElfHeaders(const uint8_t* data, size_t size) {
  ElfHeaders out;
  Table table;
  bool elf;
  if (!readTable(data, size, table, elf)) {
    out.status = !elf ? ElfHeaders::Status::NotElf
                      : (size < 64 ? ElfHeaders::Status::Truncated : ElfHeaders::Status::Malformed);
    return out;
  }
  out.is64 = table.is64;
  out.machine = table.machine;
  Reader r(data, size, table.bigEndian);
  if (size < (table.is64 ? 64u : 52u) || !r.has(table.offset, uint64_t{table.count} * table.entrySize)) {
    out.status = ElfHeaders::Status::Truncated;
    return out;
  }
  for (uint32_t i = 0; i < table.count; ++i) {
    uint64_t at = table.offset + uint64_t{i} * table.entrySize;
    uint64_t type, align;
    if (!r.get(at, 4, type) || !(table.is64 ? r.get(at + 48, 8, align) : r.get(at + 28, 4, align))) {
      out.status = ElfHeaders::Status::Truncated;
      return out;
    }
    if (type != kLoadSegment) continue;
    out.smallestLoadAlign = out.loadSegments == 0 ? align : std::min(out.smallestLoadAlign, align);
    ++out.loadSegments;
  }
  out.status = ElfHeaders::Status::Ok;
  return out;
}

}  // namespace vantaro
