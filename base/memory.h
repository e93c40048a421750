#pragma once
// A block of zero-filled memory for an index built once and then read, or
// a large member read whole. A large one gets its pages in one go rather
// than one fault at a time as the index is written (and an index's pages
// never first as the shared zero page, which a write would then have to
// replace); a small one comes from the heap, which keeps the system calls
// of mapping memory out of the many small archives.

#include <cstddef>
#include <cstdint>
#include <utility>

namespace vantaro {

namespace detail {
// Zero-filled pages of the system's (null when it has none), and their return.
void* mapZeroed(size_t size);
void unmap(void* data, size_t size);
}  // namespace detail

class IndexMemory {
 public:
  IndexMemory() = default;
  ~IndexMemory() { release(); }
  IndexMemory(const IndexMemory&) = delete;
  IndexMemory& operator=(const IndexMemory&) = delete;

  // Replaces the block by a zero-filled one of size bytes; false (and
  // empty) when the system has no room.
  bool allocate(size_t size);
  void release();
  void swap(IndexMemory& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  static constexpr size_t kMappedFrom = 128u << 10;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace vantaro
