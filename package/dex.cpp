#include "package/dex.h"

#include <cstring>

namespace vantaro {
namespace {

constexpr size_t kHeaderSize = 0x70;
constexpr size_t kContainerHeaderSize = 0x78;
constexpr uint32_t kEndianTag = 0x12345678;
constexpr size_t kMaxSections = 4096;
constexpr size_t kClassDefSize = 32;

// "dex\n0NN\0": the version NN, or -1.
int version(const uint8_t* p) {
  if (std::memcmp(p, "dex\n", 4) != 0 || p[7] != 0) return -1;
  if (p[4] < '0' || p[4] > '9' || p[5] < '0' || p[5] > '9' || p[6] < '0' || p[6] > '9') return -1;
  return (p[4] - '0') * 100 + (p[5] - '0') * 10 + (p[6] - '0');
}

}  // namespace

uint32_t DexIndex::u32(size_t at) const {
  return static_cast<uint32_t>(data_[at]) | (static_cast<uint32_t>(data_[at + 1]) << 8) |
         (static_cast<uint32_t>(data_[at + 2]) << 16) | (static_cast<uint32_t>(data_[at + 3]) << 24);
}

bool DexIndex::open(const uint8_t* data, size_t size) {
  data_ = data;
  size_ = size;
  sections_.clear();
  if (!data || size < kHeaderSize) return false;
  int v = version(data);
  if (v < 35 || v > 41 || u32(40) != kEndianTag) return false;
  if (v < 41) {
    uint32_t headerSize = u32(36);
    return headerSize >= kHeaderSize && headerSize <= size && addSection(0, headerSize);
  }
  // A container: sections back to back, each header naming the container
  // and its own place in it.
  if (size < kContainerHeaderSize) return false;
  uint64_t container = u32(0x70);
  if (container > size) return false;
  size_t at = 0;
  while (at < container) {
    if (sections_.size() >= kMaxSections || container - at < kContainerHeaderSize || version(data + at) != 41 ||
        u32(at + 40) != kEndianTag || u32(at + 36) < kContainerHeaderSize || u32(at + 0x70) != container ||
        u32(at + 0x74) != at) {
      break;
    }
    uint64_t length = u32(at + 32);
    if (length < kContainerHeaderSize || length > container - at || !addSection(at, kContainerHeaderSize)) break;
    at += static_cast<size_t>(length);
  }
  if (at != container) sections_.clear();  // overlapping, short or damaged sections: the whole file is refused
  return !sections_.empty();
}

bool DexIndex::addSection(size_t at, size_t headerSize) {
  if (headerSize < kHeaderSize || at + headerSize > size_) return false;
  Section s;
  s.stringIdsSize = u32(at + 56);
  s.stringIdsOff = u32(at + 60);
  s.typeIdsSize = u32(at + 64);
  s.typeIdsOff = u32(at + 68);
  s.classDefsSize = u32(at + 96);
  s.classDefsOff = u32(at + 100);
  auto fits = [this](uint64_t offset, uint64_t count, uint64_t width) {
    return offset <= size_ && count <= (size_ - offset) / width;
  };
  if (!fits(s.stringIdsOff, s.stringIdsSize, 4) || !fits(s.typeIdsOff, s.typeIdsSize, 4) ||
      !fits(s.classDefsOff, s.classDefsSize, kClassDefSize)) {
    return false;
  }
  s.defined.assign(s.typeIdsSize, false);
  for (uint32_t i = 0; i < s.classDefsSize; ++i) {
    uint32_t type = u32(s.classDefsOff + size_t{i} * kClassDefSize);
    if (type < s.typeIdsSize) s.defined[type] = true;
  }
  sections_.push_back(std::move(s));
  return true;
}

std::string_view DexIndex::string(const Section& s, uint32_t index) const {
  if (index >= s.stringIdsSize) return {};
  size_t at = u32(s.stringIdsOff + size_t{index} * 4);
  // The length in UTF-16 units (ULEB128, at most five bytes), then MUTF-8
  // bytes up to a zero byte.
  for (int i = 0;; ++i) {
    if (at >= size_ || i == 5) return {};
    if (!(data_[at++] & 0x80)) break;
  }
  const void* end = std::memchr(data_ + at, 0, size_ - at);
  if (!end) return {};
  return std::string_view(reinterpret_cast<const char*>(data_ + at), static_cast<const uint8_t*>(end) - (data_ + at));
}

int64_t DexIndex::typeOfString(const Section& s, uint32_t stringIndex) const {
  size_t lo = 0, hi = s.typeIdsSize;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    uint32_t descriptor = u32(s.typeIdsOff + mid * 4);
    if (descriptor == stringIndex) return static_cast<int64_t>(mid);
    if (descriptor < stringIndex)
      lo = mid + 1;
    else
      hi = mid;
  }
  return -1;
}

std::string DexIndex::firstClassWithPrefix(std::string_view prefix) const {
  std::string key = "L";
  key += prefix;
  for (const Section& s : sections_) {
    // The first string not below the key.
    size_t lo = 0, hi = s.stringIdsSize;
    while (lo < hi) {
      size_t mid = lo + (hi - lo) / 2;
      if (string(s, static_cast<uint32_t>(mid)) < key)
        lo = mid + 1;
      else
        hi = mid;
    }
    for (size_t i = lo; i < s.stringIdsSize; ++i) {
      std::string_view text = string(s, static_cast<uint32_t>(i));
      if (text.substr(0, key.size()) != key) break;
      int64_t type = typeOfString(s, static_cast<uint32_t>(i));
      if (type >= 0 && s.defined[static_cast<size_t>(type)] && text.size() > 2 && text.back() == ';') {
        return std::string(text.substr(1, text.size() - 2));
      }
    }
  }
  return std::string();
}

void DexIndex::forEachClass(const std::function<void(std::string_view)>& visit) const {
  for (const Section& s : sections_) {
    for (uint32_t i = 0; i < s.classDefsSize; ++i) {
      uint32_t type = u32(s.classDefsOff + size_t{i} * kClassDefSize);
      if (type >= s.typeIdsSize) continue;
      std::string_view name = string(s, u32(s.typeIdsOff + size_t{type} * 4));
      if (!name.empty()) visit(name);
    }
  }
}

}  // namespace vantaro
