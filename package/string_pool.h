#pragma once
// The string pool chunk of Android's binary formats (compiled XML and the
// resource table): UTF-16 or UTF-8 strings addressed by index.

#include <cstdint>
#include <optional>
#include <string>

#include "base/bytes.h"

namespace vantaro {

// One string as stored: UTF-8 bytes or UTF-16LE code units.
struct PoolString {
  bool utf8 = false;
  const uint8_t* data = nullptr;
  size_t length = 0;  // bytes for UTF-8, code units for UTF-16
};

// A copy of a pool string that outlives the pool's buffer; converted only
// when someone asks for its text.
struct StoredPoolString {
  bool utf8 = false;
  std::string bytes;
  std::string toGbk() const;
};

// The text of a stored string in GBK; it ends at the first zero character.
std::string poolStringToGbk(const PoolString& s);

class StringPool {
 public:
  static constexpr uint16_t kChunkType = 0x0001;

  // chunk: the whole pool chunk, its declared size already checked against
  // the data. False when the header or the offset array does not fit.
  bool parse(ByteView chunk);

  uint32_t count() const { return count_; }
  bool isUtf8() const { return utf8_; }
  // The stored form of string index; false when the index or the string's
  // extent lies outside the pool.
  bool raw(uint32_t index, PoolString& out) const;
  std::optional<std::string> gbk(uint32_t index) const;
  std::optional<StoredPoolString> stored(uint32_t index) const;

 private:
  ByteView chunk_;
  uint32_t count_ = 0;
  size_t offsetsAt_ = 0;
  size_t stringsStart_ = 0;
  size_t stringsEnd_ = 0;
  bool utf8_ = false;
};

}  // namespace vantaro
