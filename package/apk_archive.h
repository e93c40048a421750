#pragma once
// The package as a zip archive, opened read-only for one load. Members are
// read with minizip; names are looked up in an index of the central
// directory built once (a hash of each name and where its record is), so
// probing for absent members costs no rescans.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/file.h"

namespace vantaro {

class ApkArchive {
 public:
  enum class ReadResult { Ok, Missing, CannotOpen, TooLarge, Corrupt };

  ApkArchive();
  ~ApkArchive();
  ApkArchive(const ApkArchive&) = delete;
  ApkArchive& operator=(const ApkArchive&) = delete;

  // False when the file cannot be opened or is not a zip archive.
  bool open(const std::string& gbkPath);
  void close();
  bool isOpen() const { return zip_ != nullptr; }

  // Whether a member of that name exists, letter case ignored. Names of 256
  // characters or more are never found.
  bool contains(const std::string& name) const;
  // Reads the whole member into out (exactly its recorded size). A member
  // recorded larger than maxSize is refused before anything is allocated; one
  // that inflates to another size or fails its checksum is Corrupt.
  ReadResult read(const std::string& name, size_t maxSize, std::vector<uint8_t>& out);

  size_t memberCount() const { return entries_.size(); }

 private:
  struct Entry {
    uint32_t hash;    // of the name, letter case ignored
    uint32_t offset;  // of its central directory record, from the directory's start
  };

  bool indexCentralDirectory();
  const Entry* find(const std::string& name) const;

  ReadOnlyFile file_;
  void* zip_ = nullptr;  // unzFile
  uint64_t directoryOffset_ = 0;  // as the end record gives it
  uint64_t directoryStart_ = 0;   // where it is in the file
  std::vector<Entry> entries_;
};

}  // namespace vantaro
