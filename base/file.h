#pragma once
// A file opened read-only by its GBK path, read at explicit offsets.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantaro {

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile() { close(); }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool open(const std::string& gbkPath);
  void close();
  bool isOpen() const { return handle_ != kInvalid; }
  // Length in bytes, or -1 when it cannot be read.
  int64_t size() const;
  // Reads up to count bytes at offset; returns the number read (0 at the end,
  // -1 on error).
  int64_t readAt(uint64_t offset, void* buffer, size_t count) const;
  // Reads exactly count bytes or fails.
  bool readExactly(uint64_t offset, void* buffer, size_t count) const;

 private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
};

// The length of a file in bytes, or -1 when it cannot be opened.
int64_t fileLength(const std::string& gbkPath);

// The path as the operating system's own file functions expect it:
// UTF-8 on Linux, the GBK text itself where the platform converts it.
std::string nativePath(const std::string& gbkPath);

}  // namespace vantaro
