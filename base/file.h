#pragma once
// A file opened read-only by its GBK path, read at explicit offsets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace vantaro {

// A stretch of a file seen in place rather than copied: mapped from the
// file, or lent from memory that outlives the view. Should the file shrink
// under a mapped view, the view's pages read as zeros from then on instead
// of stopping the program.
class FileView {
 public:
  FileView() = default;
  ~FileView() { release(); }
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return data_ == nullptr; }
  // Bytes owned by someone else, valid while this view is.
  void lend(const uint8_t* data, size_t size) {
    release();
    data_ = data;
    size_ = size;
  }
  void release();
  void swap(FileView& other) noexcept {
    std::swap(mapping_, other.mapping_);
    std::swap(mappingLength_, other.mappingLength_);
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }

 private:
  friend class ReadOnlyFile;
  void* mapping_ = nullptr;  // the whole pages mapped; null when lent
  size_t mappingLength_ = 0;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

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
  // [offset, offset + count) mapped into out, every page at once unless
  // populate is false; false (and out empty) where the system maps no
  // files, or the stretch is not all inside the file.
  bool view(uint64_t offset, size_t count, FileView& out, bool populate = true) const;

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
