#pragma once
// The chunk header shared by Android's binary formats: u16 type, u16 header
// size, u32 total size.

#include <cstdint>

#include "base/bytes.h"

namespace vantaro {

// The chunk at pos, whose header and declared size must lie inside data.
inline bool chunkAt(ByteView data, size_t pos, ByteView& chunk, uint16_t& type, uint16_t& headerSize) {
  uint32_t size;
  if (!data.u16(pos, type) || !data.u16(pos + 2, headerSize) || !data.u32(pos + 4, size)) return false;
  if (headerSize < 8 || size < headerSize) return false;
  return data.sub(pos, size, chunk);
}

}  // namespace vantaro
