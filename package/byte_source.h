#pragma once
// Where an archive's bytes come from: a file, a stretch of another source
// (a package stored inside a bundle), or a buffer in memory (one that was
// inflated). Reads are at explicit offsets and either complete or fail.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"

namespace vantaro {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Reads exactly count bytes at offset, or fails.
  virtual bool read(uint64_t offset, void* buffer, size_t count) const = 0;

  // [offset, offset + count) in place into out, where the source can give
  // it more cheaply than a read copies it (a large stretch of a file, bytes
  // already in memory); false otherwise, and then it is to be read. A file's
  // pages are all mapped at once unless populate is false (then each few as
  // they are first touched).
  virtual bool view(uint64_t offset, size_t count, FileView& out, bool populate = true) const {
    (void)offset;
    (void)count;
    (void)populate;
    out.release();
    return false;
  }

  // True when [offset, offset + count) lies inside the source.
  bool has(uint64_t offset, uint64_t count) const { return offset <= size() && count <= size() - offset; }
};

class FileSource : public ByteSource {
 public:
  // Null when the file cannot be opened.
  static std::shared_ptr<FileSource> Open(const std::string& gbkPath) {
    auto source = std::make_shared<FileSource>();
    if (!source->file_.open(gbkPath)) return nullptr;
    int64_t size = source->file_.size();
    if (size < 0) return nullptr;
    source->size_ = static_cast<uint64_t>(size);
    return source;
  }
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* buffer, size_t count) const override {
    return has(offset, count) && file_.readExactly(offset, buffer, count);
  }
  // Mapping and unmapping cost about what copying a few hundred kilobytes
  // costs.
  bool view(uint64_t offset, size_t count, FileView& out, bool populate = true) const override {
    out.release();
    return count >= (256u << 10) && has(offset, count) && file_.view(offset, count, out, populate);
  }

 private:
  ReadOnlyFile file_;
  uint64_t size_ = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  uint64_t size() const override { return bytes_.size(); }
  bool read(uint64_t offset, void* buffer, size_t count) const override {
    if (!has(offset, count)) return false;
    if (count) std::memcpy(buffer, bytes_.data() + offset, count);
    return true;
  }
  bool view(uint64_t offset, size_t count, FileView& out, bool = true) const override {
    out.release();
    if (count == 0 || !has(offset, count)) return false;
    out.lend(bytes_.data() + offset, count);
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// [offset, offset + length) of another source, which it keeps alive.
class SliceSource : public ByteSource {
 public:
  SliceSource(std::shared_ptr<const ByteSource> parent, uint64_t offset, uint64_t length)
      : parent_(std::move(parent)), offset_(offset), length_(parent_ && parent_->has(offset, length) ? length : 0) {}
  uint64_t size() const override { return length_; }
  bool read(uint64_t offset, void* buffer, size_t count) const override {
    return has(offset, count) && parent_->read(offset_ + offset, buffer, count);
  }
  bool view(uint64_t offset, size_t count, FileView& out, bool populate = true) const override {
    out.release();
    return has(offset, count) && parent_->view(offset_ + offset, count, out, populate);
  }

 private:
  std::shared_ptr<const ByteSource> parent_;
  uint64_t offset_, length_;
};

}  // namespace vantaro
