#pragma once
// The package as a zip archive, read the way the phone's own zip reader
// reads it, so that what we show is what the phone installs:
//
// - the end record is the last one in the final 64 KiB and must end the file
//   (its comment reaching exactly to the end); a zip64 end record is used
//   when a field of the end record is saturated, and an archive whose two
//   end records disagree is refused;
// - the central directory must lie before the end record, every record must
//   be whole, every name valid UTF-8 without NUL, every local header before
//   the directory, and the file must start with a local header;
// - names are exact: two members whose names differ only in letter case are
//   two members, and the same name twice refuses the archive;
// - a member is read through its own local header, which must repeat the
//   directory's name (and sizes and checksum, unless a data descriptor
//   follows); method 0 is stored, every other method is inflated, and the
//   result must have the recorded size and checksum.
//
// One index of the one central directory serves every lookup and every read.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/memory.h"
#include "package/byte_source.h"

namespace vantaro {

class ApkArchive {
 public:
  enum class ReadResult { Ok, Missing, CannotOpen, TooLarge, Corrupt };

  struct Member {
    uint32_t nameOffset = 0;  // in the central directory
    uint16_t nameLength = 0;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;  // uncompressed
    uint64_t localHeaderOffset = 0;
    bool stored() const { return method == 0; }
  };

  ApkArchive();
  ~ApkArchive();
  ApkArchive(const ApkArchive&) = delete;
  ApkArchive& operator=(const ApkArchive&) = delete;

  // What the caller will read first. With Analysis, a large directory
  // (tens of thousands of members) is indexed while a second thread reads
  // the manifest and the resource table, which every analysis reads; their
  // reads then find them done. Nothing read that way is handed out unless
  // the whole directory passed its checks.
  enum class ReadAhead { None, Analysis };

  // False when the file cannot be opened or is not an archive the phone
  // would accept.
  bool open(const std::string& gbkPath, ReadAhead readAhead = ReadAhead::None);
  bool open(std::shared_ptr<const ByteSource> source, ReadAhead readAhead = ReadAhead::None);
  void close();
  bool isOpen() const { return source_ != nullptr; }

  // The member of exactly that name (bytes as the archive records them).
  // Names of 256 characters or more are never found.
  const Member* find(std::string_view name) const;
  bool contains(std::string_view name) const { return find(name) != nullptr; }

  // Reads the whole member into out (exactly its recorded size). A member
  // recorded larger than maxSize is refused before anything is allocated; one
  // whose headers disagree, that inflates to another size or fails its
  // checksum is Corrupt. A name that is not ASCII is also tried as UTF-8,
  // since names inside the program are GBK and names in archives UTF-8.
  ReadResult read(std::string_view name, size_t maxSize, std::vector<uint8_t>& out) const;
  ReadResult read(const Member& member, size_t maxSize, std::vector<uint8_t>& out) const;
  // A member's bytes, seen in place in the file (a large member stored
  // there, as resources.arsc is) or read into memory of their own whose
  // pages come in one go (huge pages where the system has them).
  class Contents {
   public:
    const uint8_t* data() const { return view_.empty() ? block_.data() : view_.data(); }
    size_t size() const { return view_.empty() ? block_.size() : view_.size(); }
    void release() {
      view_.release();
      block_.release();
    }
    void swap(Contents& other) noexcept {
      view_.swap(other.view_);
      block_.swap(other.block_);
    }

   private:
    friend class ApkArchive;
    FileView view_;
    IndexMemory block_;
  };
  // The same into contents, with the same checks (the checksum of a member
  // seen in place is checked there). Throws std::bad_alloc when there is no
  // room to read it into.
  ReadResult read(std::string_view name, size_t maxSize, Contents& contents) const;
  ReadResult read(const Member& member, size_t maxSize, Contents& contents) const;

  // The first count bytes of the member (all of it when it is shorter), read
  // in place when stored and inflated only that far otherwise; nothing is
  // allocated beyond count. The checksum is not checked (the member is not
  // read whole): a member whose data ends early or does not inflate is Corrupt.
  ReadResult readPrefix(const Member& member, size_t count, std::vector<uint8_t>& out) const;

  // Where the member's data starts in the source, after its local header;
  // false when that header is damaged or disagrees with the directory.
  bool dataOffset(const Member& member, uint64_t& offset) const;

  size_t memberCount() const { return memberCount_; }
  // Decoded from its record when first asked for (from any thread), then
  // kept: the reference stays valid until close.
  const Member& member(size_t index) const;
  std::string_view name(const Member& member) const;

  // The members under a top folder that the analysis looks into, in
  // directory order (indices for member()): noted while the directory is
  // indexed, so that a package of many members is not walked again.
  enum class Folder { Lib, MetaInf };  // "lib/", "META-INF/"
  const std::vector<uint32_t>& membersIn(Folder folder) const {
    return folder == Folder::Lib ? libMembers_ : metaInfMembers_;
  }

  const std::shared_ptr<const ByteSource>& source() const { return source_; }
  // Where the central directory starts (what lies before it, after the last
  // member, is the signing block's place).
  uint64_t directoryOffset() const { return directoryOffset_; }
  // Where the (classic) end record starts.
  uint64_t endRecordOffset() const { return endRecordOffset_; }

 private:
  // The member named so, or (for a name that is not ASCII) its UTF-8 spelling.
  const Member* findAsNamed(std::string_view name) const;
  // Reads the member whose data starts at at into out (its size).
  ReadResult fill(const Member& member, uint64_t at, uint8_t* out) const;
  bool readEndRecords(uint64_t& count, uint64_t& size);
  bool indexDirectory(uint64_t count);
  // A member whose size the caller accepted, read whole into contents.
  ReadResult readWhole(const Member& member, Contents& contents, const std::atomic<bool>* cancel = nullptr) const;

  // The reads started beside the indexing (ReadAhead::Analysis).
  struct Prefetch;
  void startPrefetch(uint64_t count);
  // The directory's bytes are there (or could not be read).
  void publishDirectory(bool readable);
  void runPrefetch(Prefetch& prefetch, uint64_t count) const;
  void stopPrefetch();
  // The member's contents when they were read ahead (once: a second read
  // reads again); false when they were not.
  bool takePrefetched(const Member& member, Contents& contents, ReadResult& result) const;

  std::shared_ptr<const ByteSource> source_;
  uint64_t directoryOffset_ = 0;
  uint64_t endRecordOffset_ = 0;
  // The central directory in place, when the source can give it so; else
  // one block holds it as read. The block holds where each record starts
  // and the index of their names.
  FileView directoryView_;
  IndexMemory block_;
  const uint8_t* directory_ = nullptr;
  size_t directorySize_ = 0;
  // Where each member's record starts in the directory (in the block), and
  // the members decoded from them when first asked for (memory of their
  // own, touched only there).
  uint32_t* records_ = nullptr;
  Member* members_ = nullptr;
  size_t memberCount_ = 0;
  std::vector<uint32_t> libMembers_, metaInfMembers_;
  // Open addressing. A slot holds the member's index + 1 in its low bits
  // (0: empty) and, above them, bits of the name's hash that the slot's
  // position does not tell, so that few names are compared in full.
  using Slot = uint32_t;
  Slot* slots_ = nullptr;
  size_t slotCount_ = 0;
  std::unique_ptr<Prefetch> prefetch_;
};

}  // namespace vantaro
