#include "package/string_pool.h"

#include <cstring>

#include "base/text.h"

namespace vantaro {
namespace {
constexpr uint32_t kUtf8Flag = 0x100;
constexpr size_t kMinHeaderSize = 28;
}  // namespace

std::string poolStringToGbk(const PoolString& s) {
  if (s.utf8) {
    const auto* bytes = reinterpret_cast<const char*>(s.data);
    size_t n = 0;
    while (n < s.length && bytes[n] != '\0') ++n;
    return utf8ToGbk(std::string_view(bytes, n));
  }
  std::u16string units;
  units.reserve(s.length);
  for (size_t i = 0; i < s.length; ++i) {
    auto unit = static_cast<char16_t>(s.data[2 * i] | (s.data[2 * i + 1] << 8));
    if (unit == 0) break;
    units.push_back(unit);
  }
  return wideToGbk(units);
}

std::string StoredPoolString::toGbk() const {
  PoolString s;
  s.utf8 = utf8;
  s.data = reinterpret_cast<const uint8_t*>(bytes.data());
  s.length = utf8 ? bytes.size() : bytes.size() / 2;
  return poolStringToGbk(s);
}

bool StringPool::parse(ByteView chunk) {
  *this = StringPool();
  uint16_t headerSize;
  uint32_t count, flags, stringsStart, stylesStart;
  if (!chunk.u16(2, headerSize) || headerSize < kMinHeaderSize || headerSize > chunk.size()) return false;
  if (!chunk.u32(8, count) || !chunk.u32(16, flags) || !chunk.u32(20, stringsStart) || !chunk.u32(24, stylesStart))
    return false;
  // The offset array must fit inside the chunk: this also bounds count by
  // the data, before anything is allocated for it.
  if (count > (chunk.size() - headerSize) / 4) return false;
  if (stringsStart > chunk.size()) return false;
  chunk_ = chunk;
  count_ = count;
  offsetsAt_ = headerSize;
  utf8_ = (flags & kUtf8Flag) != 0;
  stringsStart_ = stringsStart;
  stringsEnd_ = (stylesStart > stringsStart && stylesStart <= chunk.size()) ? stylesStart : chunk.size();
  return true;
}

bool StringPool::raw(uint32_t index, PoolString& out) const {
  if (index >= count_) return false;
  uint32_t offset;
  if (!chunk_.u32(offsetsAt_ + size_t{index} * 4, offset)) return false;
  ByteView strings;
  if (!chunk_.sub(stringsStart_, stringsEnd_ - stringsStart_, strings)) return false;
  size_t pos = offset;
  if (utf8_) {
    uint8_t b;
    // Length in UTF-16 units (one or two bytes), not needed here.
    if (!strings.u8(pos, b)) return false;
    pos += (b & 0x80) ? 2 : 1;
    // Length in bytes (one or two bytes).
    if (!strings.u8(pos, b)) return false;
    size_t length = b;
    if (b & 0x80) {
      uint8_t low;
      if (!strings.u8(pos + 1, low)) return false;
      length = (size_t{b & 0x7Fu} << 8) | low;
      pos += 2;
    } else {
      pos += 1;
    }
    if (!strings.has(pos, length)) return false;
    out.utf8 = true;
    out.data = strings.data() + pos;
    out.length = length;
    return true;
  }
  uint16_t first;
  if (!strings.u16(pos, first)) return false;
  size_t length = first;
  pos += 2;
  if (first & 0x8000) {
    uint16_t low;
    if (!strings.u16(pos, low)) return false;
    length = (size_t{first & 0x7FFFu} << 16) | low;
    pos += 2;
  }
  if (length > strings.size() / 2 || !strings.has(pos, length * 2)) return false;
  out.utf8 = false;
  out.data = strings.data() + pos;
  out.length = length;
  return true;
}

std::optional<std::string> StringPool::gbk(uint32_t index) const {
  PoolString s;
  if (!raw(index, s)) return std::nullopt;
  return poolStringToGbk(s);
}

std::optional<StoredPoolString> StringPool::stored(uint32_t index) const {
  PoolString s;
  if (!raw(index, s)) return std::nullopt;
  StoredPoolString copy;
  copy.utf8 = s.utf8;
  copy.bytes.assign(reinterpret_cast<const char*>(s.data), s.utf8 ? s.length : s.length * 2);
  return copy;
}

}  // namespace vantaro
