#pragma once
// Bounds-checked little-endian reads from a byte span. Every read says whether
// it fit; nothing is ever read past the end.

#include <cstddef>
#include <cstdint>

namespace vantaro {

class ByteView {
 public:
  ByteView() = default;
  ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  // True when [offset, offset + count) lies inside the view.
  bool has(size_t offset, size_t count) const { return offset <= size_ && count <= size_ - offset; }

  bool u8(size_t offset, uint8_t& out) const {
    if (!has(offset, 1)) return false;
    out = data_[offset];
    return true;
  }
  bool u16(size_t offset, uint16_t& out) const {
    if (!has(offset, 2)) return false;
    out = static_cast<uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    return true;
  }
  bool u32(size_t offset, uint32_t& out) const {
    if (!has(offset, 4)) return false;
    out = static_cast<uint32_t>(data_[offset]) | (static_cast<uint32_t>(data_[offset + 1]) << 8) |
          (static_cast<uint32_t>(data_[offset + 2]) << 16) | (static_cast<uint32_t>(data_[offset + 3]) << 24);
    return true;
  }
  // The part [offset, offset + count), which must lie inside.
  bool sub(size_t offset, size_t count, ByteView& out) const {
    if (!has(offset, count)) return false;
    out = ByteView(data_ + offset, count);
    return true;
  }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace vantaro
