#pragma once
// The classes a dex file defines, found by descriptor prefix.
//
// A dex file of version 035 to 040 is one section; version 041 is a
// container of sections back to back, each with its own header (0x78 bytes)
// and offsets counted from the container's start. Every offset and count is
// checked against the data before it is used. string_ids are sorted, so the
// strings that start with a prefix are found by binary search; a string is
// a class of the file when a type_id names it and a class_def defines that
// type.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vantaro {

class DexIndex {
 public:
  // False when the data is no dex this reader understands; then nothing is
  // found. The data must outlive the index.
  bool open(const uint8_t* data, size_t size);

  // The descriptor of the first class defined in the file whose name starts
  // with prefix ("com/umeng/analytics/", slashes, no leading "L"); the
  // descriptor without "L" and ";", or empty when there is none.
  std::string firstClassWithPrefix(std::string_view prefix) const;

  // Each defined class's descriptor ("Lcom/example/Main;"), in file order.
  void forEachClass(const std::function<void(std::string_view)>& visit) const;

 private:
  struct Section {
    uint32_t stringIdsOff, stringIdsSize;
    uint32_t typeIdsOff, typeIdsSize;
    uint32_t classDefsOff, classDefsSize;
    std::vector<bool> defined;  // by type index
  };

  bool addSection(size_t headerAt, size_t headerSize);
  // The string's bytes (MUTF-8) up to its terminating zero; empty view when
  // its data lies outside the file.
  std::string_view string(const Section& s, uint32_t index) const;
  // The type index whose descriptor is string index, or -1.
  int64_t typeOfString(const Section& s, uint32_t stringIndex) const;
  uint32_t u32(size_t at) const;

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<Section> sections_;
};

}  // namespace vantaro
