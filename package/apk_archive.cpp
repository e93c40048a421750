#include "package/apk_archive.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <random>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

#include "base/bytes.h"
#include "base/text.h"

namespace vantaro {
namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kDirectoryRecordSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr uint16_t kDataDescriptorFlag = 0x0008;

// A central directory larger than this is no package's (44,000 members take
// about 3 MB).
constexpr uint64_t kMaxDirectory = 64u << 20;
constexpr size_t kMaxNameLength = 255;
// A slot of the index: the member's index + 1 in the low bits (a directory
// of at most 64 MiB holds fewer than 2^21 records), a tag of the hash above.
constexpr unsigned kIndexBits = 21;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
static_assert(kMaxDirectory / 46 < kIndexMask, "a member index fits a slot");
constexpr uint32_t slotOf(uint32_t hash, size_t index) {
  return (hash & ~kIndexMask) | static_cast<uint32_t>(index + 1);
}
// Compressed data is fed to the streaming inflater in pieces of this size.
constexpr size_t kInflateInput = 256u << 10;

// The members every analysis reads (ReadAhead::Analysis), in the order they
// are read ahead: the large table first, since the reader asks for the
// small manifest first and reads it itself when the thread has not begun it.
constexpr std::string_view kReadAhead[] = {"resources.arsc", "AndroidManifest.xml"};
// Below this many records the index is done before a second thread gets
// going (starting one takes 0.1 to 0.3 ms), and reading ahead was measured
// to lose time; from here indexing takes half a millisecond or more.
constexpr uint64_t kReadAheadFrom = 16384;
// A larger member is left to be read when asked for: inflating it could not
// be stopped if the archive is refused or closed meanwhile.
constexpr uint64_t kReadAheadLimit = 32u << 20;
// A member checked in place is checked in pieces of this size, so that
// closing the archive need not wait for the whole of it.
constexpr size_t kChecksumPiece = 1u << 20;

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A member whose compressed data is at most this much larger than its
// recorded size is inflated in one piece by libdeflate (read whole first);
// others, which no deflate stream of that size needs, go through zlib's
// stream in pieces.
uint64_t wholeBufferLimit(uint64_t size) { return size + size / 16 + (1u << 20); }

libdeflate_decompressor* decompressor() {
  struct Owner {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Owner() {
      if (d) libdeflate_free_decompressor(d);
    }
  };
  thread_local Owner owner;
  return owner.d;
}

uint64_t u64(const ByteView& v, size_t at) {
  uint32_t low = 0, high = 0;
  v.u32(at, low);
  v.u32(at + 4, high);
  return (uint64_t{high} << 32) | low;
}

// Valid UTF-8 in structure (lead bytes and their continuations), and no NUL:
// the phone refuses an archive holding any other name. Asked only for names
// that the hash found not to be plain ASCII.
bool isValidName(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    auto c = static_cast<unsigned char>(name[i]);
    if (c == 0) return false;
    if (c < 0x80) continue;
    if ((c & 0xC0) == 0x80 || (c & 0xFE) == 0xFE) return false;
    for (unsigned lead = (c << 1) & 0xFF; lead & 0x80; lead = (lead << 1) & 0xFF) {
      if (++i == name.size() || (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80) return false;
    }
  }
  return true;
}

// Both halves of the full product folded into one: every bit of either
// factor reaches every bit of the result.
inline uint64_t fold(uint64_t a, uint64_t b) {
  unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
  return static_cast<uint64_t>(product) ^ static_cast<uint64_t>(product >> 64);
}

inline uint64_t load64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

inline uint32_t load32(const char* p) {
  uint32_t word;
  std::memcpy(&word, p, 4);
  return word;
}

// The names' hashes start from a value that differs from run to run: names
// chosen to crowd into one run of slots would otherwise make indexing an
// archive take quadratic time.
uint64_t hashSeed() {
  static const uint64_t seed = []() -> uint64_t {
    try {
      std::random_device device;
      return (uint64_t{device()} << 32) ^ device();
    } catch (const std::exception&) {
      return reinterpret_cast<uintptr_t>(&seed);  // where the program was loaded
    }
  }();
  return seed;
}

// The hash of a name for the index. ascii is cleared when the name holds a
// byte that is not ASCII or is NUL (such a name is then checked byte by
// byte). Sixteen bytes go into each full multiply, one word keyed by the
// seed and one by the hash so far: a name of the usual length (20 to 40
// bytes) takes two or three dependent multiplies. The last words overlap
// the ones before.
inline uint32_t nameHash(std::string_view name, bool& ascii) {
  constexpr uint64_t kFirst = 0x9E3779B97F4A7C15ull, kSecond = 0xD6E8FEB86659FD93ull;
  constexpr uint64_t kHigh = 0x8080808080808080ull, kOnes = 0x0101010101010101ull;
  const char* p = name.data();
  const size_t n = name.size();
  const uint64_t key = hashSeed() ^ kSecond;
  uint64_t h = n ^ kFirst ^ hashSeed(), odd = 0;
  auto check = [&](uint64_t word) { odd |= (word & kHigh) | ((word - kOnes) & ~word & kHigh); };
  uint64_t a = 0, b = 0;
  if (n > 16) {
    for (size_t i = 0; i + 16 < n; i += 16) {
      a = load64(p + i);
      b = load64(p + i + 8);
      check(a);
      check(b);
      h = fold(a ^ key, b ^ h);
    }
    a = load64(p + n - 16);
    b = load64(p + n - 8);
  } else if (n >= 8) {
    a = load64(p);
    b = load64(p + n - 8);
  } else if (n >= 4) {
    a = load32(p) | uint64_t{load32(p + n - 4)} << 32;
    b = a;
  } else {
    for (size_t i = 0; i < n; ++i) {
      auto c = static_cast<unsigned char>(p[i]);
      odd |= (c & 0x80) | (c == 0);
      a |= uint64_t{c} << (8 * i);
    }
  }
  if (n >= 4) {
    check(a);
    check(b);
  }
  ascii = odd == 0;
  uint64_t x = fold(a ^ key, b ^ h);
  return static_cast<uint32_t>(x ^ (x >> 32));
}

// The zip64 values of an extra field: each one present only when its 32-bit
// field is saturated (or all three when the writer put all three).
bool readZip64Extra(ByteView extra, uint64_t& size, uint64_t& compressedSize, uint64_t* localHeaderOffset) {
  bool wantSize = size == 0xFFFFFFFF, wantCompressed = compressedSize == 0xFFFFFFFF;
  bool wantOffset = localHeaderOffset && *localHeaderOffset == 0xFFFFFFFF;
  size_t at = 0;
  while (extra.has(at, 4)) {
    uint16_t id = 0, length = 0;
    extra.u16(at, id);
    extra.u16(at + 2, length);
    ByteView field;
    if (!extra.sub(at + 4, length, field)) return false;
    at += 4u + length;
    if (id != 0x0001) continue;
    bool all = length >= 24;
    size_t pos = 0;
    auto take = [&](bool wanted, uint64_t& value) {
      if (!wanted && !all) return true;
      if (!field.has(pos, 8)) return false;
      value = u64(field, pos);
      pos += 8;
      return true;
    };
    uint64_t ignoredOffset = 0;
    return take(wantSize, size) && take(wantCompressed, compressedSize) &&
           take(wantOffset, localHeaderOffset ? *localHeaderOffset : ignoredOffset);
  }
  return !wantSize && !wantCompressed && !wantOffset;
}

// Where the record after the one at pos starts, when the one at pos is a
// whole directory record (its fixed part, then name, extra field and
// comment, each inside the directory's end bytes); 0 when it is not.
inline size_t nextRecord(const uint8_t* directory, size_t end, size_t pos) {
  if (end - pos < kDirectoryRecordSize) return 0;
  const uint8_t* r = directory + pos;
  if (le32(r) != kDirectorySignature) return 0;
  size_t next = pos + kDirectoryRecordSize + le16(r + 28) + le16(r + 30) + le16(r + 32);
  return next <= end ? next : 0;
}

// The name in the whole directory record at pos.
inline std::string_view recordName(const uint8_t* directory, size_t pos) {
  return std::string_view(reinterpret_cast<const char*>(directory + pos + kDirectoryRecordSize),
                          le16(directory + pos + 28));
}

// The member the directory record at pos describes (its name, extra field
// and comment already known to lie inside the directory); false when a
// saturated field has no zip64 value.
inline bool decodeRecord(const uint8_t* directory, size_t pos, ApkArchive::Member& m) {
  const uint8_t* r = directory + pos;
  uint16_t nameLength = le16(r + 28), extraLength = le16(r + 30);
  size_t nameAt = pos + kDirectoryRecordSize;
  m.nameOffset = static_cast<uint32_t>(nameAt);
  m.nameLength = nameLength;
  m.method = le16(r + 10);
  m.flags = le16(r + 8);
  m.crc = le32(r + 16);
  m.compressedSize = le32(r + 20);
  m.size = le32(r + 24);
  m.localHeaderOffset = le32(r + 42);
  return (m.size != 0xFFFFFFFF && m.compressedSize != 0xFFFFFFFF && m.localHeaderOffset != 0xFFFFFFFF) ||
         readZip64Extra(ByteView(directory + nameAt + nameLength, extraLength), m.size, m.compressedSize,
                        &m.localHeaderOffset);
}

}  // namespace

struct ApkArchive::Prefetch {
  struct Entry {
    uint32_t nameOffset = 0;  // which member
    bool started = false;
    bool skipped = false;  // the reader asked before it was started
    bool done = false;
    bool usable = false;  // read whole (Ok or not); else the reader reads it
    bool taken = false;
    ReadResult result = ReadResult::Corrupt;
    Contents contents;
  };
  std::mutex mutex;
  std::condition_variable changed;
  bool published = false;   // the directory's bytes may be read, unless
  bool unreadable = false;  // they could not be
  Entry entries[std::size(kReadAhead)];
  size_t found = 0;
  bool walked = false;  // found is final
  std::atomic<bool> cancel{false};
  // Counts the thread's steps (an entry done), each made under the mutex,
  // so that a waiter can watch for them without it.
  std::atomic<uint32_t> steps{0};
  std::thread thread;

  // Waits, with lock held on mutex, for a step of the thread after which
  // ready() holds. The thread runs on the other processor: a blocked waiter
  // would be woken onto the processor it last ran on, often the thread's,
  // and take it from the thread, so the waiter first looks on for a while,
  // yielding to whatever else is queued here.
  template <class Ready>
  void await(std::unique_lock<std::mutex>& lock, Ready ready) {
    constexpr int kLookOn = 20000;  // a few milliseconds
    for (;;) {
      uint32_t seen = steps.load(std::memory_order_relaxed);
      if (ready()) return;
      lock.unlock();
      int looked = 0;
      while (steps.load(std::memory_order_relaxed) == seen && ++looked < kLookOn) std::this_thread::yield();
      lock.lock();
      if (looked >= kLookOn) break;
    }
    changed.wait(lock, ready);
  }
  // One step made (with the mutex held).
  void step() {
    steps.fetch_add(1, std::memory_order_relaxed);
    changed.notify_all();
  }
#ifdef __linux__
  cpu_set_t allowed;  // where the thread may run once it runs
  bool pinned = false;
#endif
};

ApkArchive::ApkArchive() = default;
ApkArchive::~ApkArchive() { close(); }

bool ApkArchive::open(const std::string& gbkPath, ReadAhead readAhead) {
  close();
  std::shared_ptr<const ByteSource> source = FileSource::Open(gbkPath);
  return source && open(std::move(source), readAhead);
}

bool ApkArchive::open(std::shared_ptr<const ByteSource> source, ReadAhead readAhead) {
  close();
  source_ = std::move(source);
  uint64_t count = 0, size = 0;
  uint8_t first[4];
  uint32_t firstSignature = 0;
  // The file must start with a member's local header, whatever the directory says.
  bool ok = source_ && readEndRecords(count, size) && count > 0 && count <= size / kDirectoryRecordSize &&
            size <= kMaxDirectory && source_->read(0, first, sizeof first) &&
            ByteView(first, sizeof first).u32(0, firstSignature) && firstSignature == kLocalHeaderSignature;
  if (ok) {
    directorySize_ = static_cast<size_t>(size);
    // Started first: a thread takes a while to get going.
    if (readAhead == ReadAhead::Analysis && count >= kReadAheadFrom) startPrefetch(count);
    // A large directory is seen where it lies (when the source can give it
    // so): copying it out would cost about as much as indexing it. When
    // reading ahead, the other thread maps its pages while the index's
    // memory is cleared here.
    bool inPlace = source_->view(directoryOffset_, directorySize_, directoryView_, !prefetch_);
    if (inPlace) {
      directory_ = directoryView_.data();
      if (prefetch_) publishDirectory(true);
    }
    // Open addressing, at most three quarters full.
    size_t slots = 16;
    while (slots / 4 * 3 < count) slots *= 2;
    size_t recordsAt = inPlace ? 0 : (directorySize_ + 15) & ~size_t{15};
    size_t slotsAt = recordsAt + static_cast<size_t>(count) * sizeof(uint32_t);
    // Members are decoded when first asked for (an analysis asks for a few
    // dozen): their memory is only reserved here, its pages untouched. After
    // it comes one byte each that says whether a member is decoded. Those
    // bytes are read before they are first written, and a page first read
    // is the shared zero page, whose replacement on the write is flushed
    // from every processor the process ran on (on a virtual machine, an
    // interrupt to each, tens of microseconds when that one is idle): a
    // write to each of their pages now gives it a page of its own at once.
    members_ = static_cast<Member*>(std::calloc(static_cast<size_t>(count), sizeof(Member) + 1));
    if (members_) {
      volatile uint8_t* states = reinterpret_cast<uint8_t*>(members_ + count);
      for (size_t at = 0; at < count; at += 4096) states[at] = 0;
      states[count - 1] = 0;
    }
    ok = members_ && block_.allocate(slotsAt + slots * sizeof(Slot));
    if (ok) {
      records_ = reinterpret_cast<uint32_t*>(block_.data() + recordsAt);
      slots_ = reinterpret_cast<Slot*>(block_.data() + slotsAt);  // zero: every slot empty
      slotCount_ = slots;
      if (!inPlace) {
        directory_ = block_.data();
        ok = source_->read(directoryOffset_, block_.data(), directorySize_);
        if (prefetch_) publishDirectory(ok);
      }
      ok = ok && indexDirectory(count);
    }
  }
  if (!ok) close();
  return ok;
}

void ApkArchive::close() {
  stopPrefetch();            // it reads the directory and the source
  directoryView_.release();  // before the source that may have lent it
  source_.reset();
  directoryOffset_ = 0;
  endRecordOffset_ = 0;
  block_.release();
  directory_ = nullptr;
  directorySize_ = 0;
  std::free(members_);
  members_ = nullptr;
  records_ = nullptr;
  memberCount_ = 0;
  libMembers_.clear();
  metaInfMembers_.clear();
  slots_ = nullptr;
  slotCount_ = 0;
}

bool ApkArchive::readEndRecords(uint64_t& count, uint64_t& size) {
  uint64_t fileSize = source_->size();
  if (fileSize < kEndSize) return false;
  // The last end-record signature in the final 64 KiB; its comment must
  // reach exactly to the end. Most archives carry no comment, so the last
  // kilobyte is searched first, and the rest only when it holds none: the
  // search runs backwards, so the first signature found is the last either
  // way.
  std::vector<uint8_t> tail;
  uint64_t tailStart = 0;
  size_t at = 0;
  uint32_t signature = 0;
  for (size_t back : {size_t{1024}, size_t{0xFFFF + kEndSize}}) {
    back = static_cast<size_t>(std::min<uint64_t>(fileSize, back));
    tail.resize(back);
    tailStart = fileSize - back;
    if (!source_->read(tailStart, tail.data(), tail.size())) return false;
    ByteView view(tail.data(), tail.size());
    for (at = back - kEndSize + 1; at-- > 0;) {
      if (view.u32(at, signature) && signature == kEndSignature) break;
    }
    if (signature == kEndSignature || back == fileSize) break;
  }
  if (signature != kEndSignature) return false;
  ByteView view(tail.data(), tail.size());
  uint16_t onDisk = 0, entries = 0, commentLength = 0;
  uint32_t directorySize = 0, directoryOffset = 0;
  view.u16(at + 8, onDisk);
  view.u16(at + 10, entries);
  view.u32(at + 12, directorySize);
  view.u32(at + 16, directoryOffset);
  view.u16(at + 20, commentLength);
  uint64_t endAt = tailStart + at;
  if (endAt + kEndSize + commentLength != fileSize) return false;
  endRecordOffset_ = endAt;

  bool saturated = onDisk == 0xFFFF || entries == 0xFFFF || directorySize == 0xFFFFFFFF ||
                   directoryOffset == 0xFFFFFFFF || commentLength == 0xFFFF;
  count = entries;
  size = directorySize;
  directoryOffset_ = directoryOffset;
  uint64_t directoryLimit = endAt;

  // A zip64 end record, named by the locator right before the end record.
  uint8_t locator[kZip64LocatorSize];
  uint32_t locatorSignature = 0;
  bool hasLocator = endAt >= kZip64LocatorSize && source_->read(endAt - kZip64LocatorSize, locator, sizeof locator) &&
                    ByteView(locator, sizeof locator).u32(0, locatorSignature) &&
                    locatorSignature == kZip64LocatorSignature;
  if (hasLocator) {
    uint64_t locatorAt = endAt - kZip64LocatorSize;
    uint64_t recordAt = u64(ByteView(locator, sizeof locator), 8);
    uint8_t record[kZip64EndSize];
    uint32_t recordSignature = 0;
    bool valid = locatorAt >= kZip64EndSize && recordAt <= locatorAt - kZip64EndSize &&
                 source_->read(recordAt, record, sizeof record) &&
                 ByteView(record, sizeof record).u32(0, recordSignature) && recordSignature == kZip64EndSignature;
    if (valid) {
      ByteView r(record, sizeof record);
      uint64_t count64 = u64(r, 32), size64 = u64(r, 40), offset64 = u64(r, 48);
      // Two end records that name different directories would let two readers
      // see two packages in one file.
      if ((entries != 0xFFFF && entries != count64) || (directorySize != 0xFFFFFFFF && directorySize != size64) ||
          (directoryOffset != 0xFFFFFFFF && directoryOffset != offset64)) {
        return false;
      }
      if (saturated) {
        count = count64;
        size = size64;
        directoryOffset_ = offset64;
        directoryLimit = recordAt;
      }
    } else if (saturated) {
      return false;
    }
  } else if (saturated) {
    return false;
  }
  return directoryOffset_ <= directoryLimit && size <= directoryLimit - directoryOffset_;
}

bool ApkArchive::indexDirectory(uint64_t count) {
  // One pass: each record is checked (a saturated size or place must have
  // its zip64 value, the local header must lie before the directory, the
  // name must be valid) and its name hashed while it is in the cache; the
  // name goes into the index a few records later, when the slot fetched for
  // it meanwhile has arrived (the slots are touched in random order: on a
  // large archive the waits for them, not the hashing, would otherwise be
  // most of what opening costs).
  constexpr size_t kAhead = 8;
  struct Pending {
    uint32_t hash;
    uint32_t index;
  } pending[kAhead];
  const uint8_t* const directory = directory_;
  const size_t end = directorySize_;
  uint32_t* const records = records_;
  Slot* const slots = slots_;
  const size_t mask = slotCount_ - 1;
  auto insert = [&](const Pending& p) {
    uint32_t filled = slotOf(p.hash, p.index);
    for (size_t slot = p.hash & mask;; slot = (slot + 1) & mask) {
      uint32_t there = slots[slot];
      if (there == 0) {
        slots[slot] = filled;
        return true;
      }
      if (((there ^ filled) & ~kIndexMask) == 0 &&
          recordName(directory, records[(there & kIndexMask) - 1]) == recordName(directory, records[p.index])) {
        return false;  // the same name twice
      }
    }
  };
  size_t pos = 0;
  for (uint64_t i = 0; i < count; ++i) {
    size_t next = nextRecord(directory, end, pos);
    if (next == 0) return false;
    const uint8_t* r = directory + pos;
    uint64_t localHeaderOffset = le32(r + 42);
    if (le32(r + 20) == 0xFFFFFFFF || le32(r + 24) == 0xFFFFFFFF || localHeaderOffset == 0xFFFFFFFF) {
      Member m;
      if (!decodeRecord(directory, pos, m)) return false;
      localHeaderOffset = m.localHeaderOffset;
    }
    records[i] = static_cast<uint32_t>(pos);
    std::string_view text = recordName(directory, pos);
    bool ascii = true;
    uint32_t hash = nameHash(text, ascii);
    if (localHeaderOffset >= directoryOffset_ || (!ascii && !isValidName(text))) return false;
    if (text.size() > 4 && std::memcmp(text.data(), "lib/", 4) == 0) {
      libMembers_.push_back(static_cast<uint32_t>(i));
    } else if (text.size() > 9 && std::memcmp(text.data(), "META-INF/", 9) == 0) {
      metaInfMembers_.push_back(static_cast<uint32_t>(i));
    }
    pos = next;

    __builtin_prefetch(&slots[hash & mask], 1);
    Pending& due = pending[i % kAhead];
    if (i >= kAhead && !insert(due)) return false;
    due = {hash, static_cast<uint32_t>(i)};
  }
  memberCount_ = static_cast<size_t>(count);
  for (size_t i = count > kAhead ? count - kAhead : 0; i < count; ++i) {
    if (!insert(pending[i % kAhead])) return false;
  }
  return true;
}

std::string_view ApkArchive::name(const Member& member) const {
  return std::string_view(reinterpret_cast<const char*>(directory_) + member.nameOffset, member.nameLength);
}

const ApkArchive::Member* ApkArchive::find(std::string_view wanted) const {
  if (wanted.empty() || wanted.size() > kMaxNameLength || slotCount_ == 0) return nullptr;
  size_t mask = slotCount_ - 1;
  bool ascii = true;
  uint32_t hash = nameHash(wanted, ascii);
  for (size_t slot = hash & mask; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if ((slots_[slot] ^ hash) & ~kIndexMask) continue;
    size_t index = (slots_[slot] & kIndexMask) - 1;
    if (recordName(directory_, records_[index]) == wanted) return &member(index);
  }
  return nullptr;
}

// A member's record was checked when the archive was opened; it is decoded
// the first time it is asked for. Its state byte (after all the members)
// tells the threads that may ask at once whether it is.
const ApkArchive::Member& ApkArchive::member(size_t index) const {
  enum : uint8_t { kUndecoded, kDecoding, kDecoded };
  Member& m = members_[index];
  std::atomic_ref<uint8_t> state(reinterpret_cast<uint8_t*>(members_ + memberCount_)[index]);
  uint8_t now = state.load(std::memory_order_acquire);
  if (now == kDecoded) return m;
  if (now == kUndecoded && state.compare_exchange_strong(now, kDecoding, std::memory_order_acquire)) {
    decodeRecord(directory_, records_[index], m);
    state.store(kDecoded, std::memory_order_release);
    return m;
  }
  while (state.load(std::memory_order_acquire) != kDecoded) std::this_thread::yield();
  return m;
}

bool ApkArchive::dataOffset(const Member& m, uint64_t& offset) const {
  if (!source_ || m.localHeaderOffset >= directoryOffset_ ||
      directoryOffset_ - m.localHeaderOffset < kLocalHeaderSize + m.nameLength) {
    return false;
  }
  uint8_t header[kLocalHeaderSize + kMaxNameLength + 1];
  std::vector<uint8_t> longHeader;
  uint8_t* bytes = header;
  size_t want = kLocalHeaderSize + m.nameLength;
  if (want > sizeof header) {
    longHeader.resize(want);
    bytes = longHeader.data();
  }
  if (!source_->read(m.localHeaderOffset, bytes, want)) return false;
  ByteView h(bytes, want);
  uint32_t signature = 0, crc = 0, compressed = 0, size = 0;
  uint16_t flags = 0, nameLength = 0, extraLength = 0;
  h.u32(0, signature);
  h.u16(6, flags);
  h.u32(14, crc);
  h.u32(18, compressed);
  h.u32(22, size);
  h.u16(26, nameLength);
  h.u16(28, extraLength);
  if (signature != kLocalHeaderSignature || nameLength != m.nameLength ||
      std::memcmp(bytes + kLocalHeaderSize, directory_ + m.nameOffset, m.nameLength) != 0) {
    return false;
  }
  uint64_t at = m.localHeaderOffset + kLocalHeaderSize + nameLength;
  if (extraLength > directoryOffset_ - at) return false;
  if (!(flags & kDataDescriptorFlag)) {
    uint64_t localSize = size, localCompressed = compressed;
    if (size == 0xFFFFFFFF || compressed == 0xFFFFFFFF) {
      std::vector<uint8_t> extra(extraLength);
      if (!source_->read(at, extra.data(), extra.size()) ||
          !readZip64Extra(ByteView(extra.data(), extra.size()), localSize, localCompressed, nullptr)) {
        return false;
      }
    }
    if (localSize != m.size || localCompressed != m.compressedSize || crc != m.crc) return false;
  }
  at += extraLength;
  uint64_t room = directoryOffset_ - at;
  if (m.compressedSize > room || (m.stored() && m.size > room)) return false;
  offset = at;
  return true;
}

const ApkArchive::Member* ApkArchive::findAsNamed(std::string_view wanted) const {
  const Member* m = find(wanted);
  if (!m && std::any_of(wanted.begin(), wanted.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    m = find(gbkToUtf8(wanted));
  }
  return m;
}

ApkArchive::ReadResult ApkArchive::read(std::string_view wanted, size_t maxSize, std::vector<uint8_t>& out) const {
  out.clear();
  const Member* m = findAsNamed(wanted);
  if (!m) return ReadResult::Missing;
  return read(*m, maxSize, out);
}

ApkArchive::ReadResult ApkArchive::read(std::string_view wanted, size_t maxSize, Contents& contents) const {
  contents.release();
  const Member* m = findAsNamed(wanted);
  if (!m) return ReadResult::Missing;
  return read(*m, maxSize, contents);
}

ApkArchive::ReadResult ApkArchive::read(const Member& m, size_t maxSize, std::vector<uint8_t>& out) const {
  out.clear();
  if (!source_) return ReadResult::Missing;
  if (m.size > maxSize) return ReadResult::TooLarge;
  Contents ahead;
  ReadResult result = ReadResult::Corrupt;
  if (takePrefetched(m, ahead, result)) {
    if (result == ReadResult::Ok) out.assign(ahead.data(), ahead.data() + ahead.size());
    return result;
  }
  uint64_t at = 0;
  if (!dataOffset(m, at)) return ReadResult::Corrupt;
  out.resize(static_cast<size_t>(m.size));
  result = fill(m, at, out.data());
  if (result != ReadResult::Ok) {
    out.clear();
    out.shrink_to_fit();
  }
  return result;
}

ApkArchive::ReadResult ApkArchive::read(const Member& m, size_t maxSize, Contents& contents) const {
  contents.release();
  if (!source_) return ReadResult::Missing;
  if (m.size > maxSize) return ReadResult::TooLarge;
  ReadResult result = ReadResult::Corrupt;
  return takePrefetched(m, contents, result) ? result : readWhole(m, contents);
}

ApkArchive::ReadResult ApkArchive::readWhole(const Member& m, Contents& contents,
                                             const std::atomic<bool>* cancel) const {
  uint64_t at = 0;
  if (!dataOffset(m, at)) return ReadResult::Corrupt;
  size_t size = static_cast<size_t>(m.size);
  // Stored data is used where it lies: no memory to clear and copy into.
  if (m.stored() && source_->view(at, size, contents.view_)) {
    uint32_t crc = 0;
    for (size_t done = 0; done < size; done += kChecksumPiece) {
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        contents.release();
        return ReadResult::CannotOpen;
      }
      crc = libdeflate_crc32(crc, contents.view_.data() + done, std::min(kChecksumPiece, size - done));
    }
    if (crc == m.crc) return ReadResult::Ok;
    contents.release();
    return ReadResult::Corrupt;
  }
  if (!contents.block_.allocate(size)) throw std::bad_alloc();
  ReadResult result = fill(m, at, contents.block_.data());
  if (result != ReadResult::Ok) contents.release();
  return result;
}

void ApkArchive::startPrefetch(uint64_t count) {
  auto prefetch = std::make_unique<Prefetch>();
  try {
    prefetch->thread = std::thread([this, p = prefetch.get(), count] { runPrefetch(*p, count); });
  } catch (const std::system_error&) {
    return;  // no second thread: every member is read when asked for
  }
#ifdef __linux__
  // A new thread is queued on the processor of the one that started it,
  // which goes on mapping and indexing: it may wait there for milliseconds
  // before the scheduler moves it, and so may a wake-up of it. It starts on
  // another processor and stays off this one until the directory is there.
  Prefetch& p = *prefetch;
  int here = sched_getcpu();
  if (sched_getaffinity(0, sizeof p.allowed, &p.allowed) == 0 && CPU_COUNT(&p.allowed) > 1 && here >= 0 &&
      here < CPU_SETSIZE && CPU_ISSET(here, &p.allowed)) {
    cpu_set_t elsewhere = p.allowed;
    CPU_CLR(here, &elsewhere);
    std::lock_guard<std::mutex> lock(p.mutex);
    p.pinned = pthread_setaffinity_np(p.thread.native_handle(), sizeof elsewhere, &elsewhere) == 0;
  }
#endif
  prefetch_ = std::move(prefetch);
}

void ApkArchive::publishDirectory(bool readable) {
  {
    std::lock_guard<std::mutex> lock(prefetch_->mutex);
    prefetch_->published = true;
    prefetch_->unreadable = !readable;
  }
  prefetch_->changed.notify_all();
}

// The thread has mostly ended by now, its reads done. (Handing it the
// directory's unmapping was measured to cost more: waking it takes longer,
// and a process ending meanwhile waits for it.)
void ApkArchive::stopPrefetch() {
  if (!prefetch_) return;
  {
    std::lock_guard<std::mutex> lock(prefetch_->mutex);
    prefetch_->cancel.store(true, std::memory_order_relaxed);
  }
  prefetch_->changed.notify_all();
  prefetch_->thread.join();
  prefetch_.reset();
}

// Runs beside open and indexDirectory, which it must not touch: it reads
// only the directory's bytes (once published) and the source, and writes
// only into p. The records are walked only as far as the wanted names; the
// index refuses the archive when one of them is there twice or any record is
// malformed, and then nothing read here is used.
void ApkArchive::runPrefetch(Prefetch& p, uint64_t count) const {
  constexpr size_t kWanted = std::size(kReadAhead);
  size_t recordAt[kWanted];
  bool seen[kWanted] = {};
  size_t found = 0, pos = 0;
  {
    std::unique_lock<std::mutex> lock(p.mutex);
    p.changed.wait(lock, [&] { return p.published || p.cancel.load(std::memory_order_relaxed); });
    if (!p.published || p.unreadable) count = 0;
#ifdef __linux__
    if (p.pinned) pthread_setaffinity_np(pthread_self(), sizeof p.allowed, &p.allowed);
#endif
  }
  // The directory's pages (mapped as they are first touched), back to
  // front, while the index walks in from the front.
  if (count > 0) {
    unsigned char sink = 0;
    for (size_t left = directorySize_; left > 0; left -= std::min<size_t>(left, 4096)) {
      if ((left & 0xFFFFF) < 4096 && p.cancel.load(std::memory_order_relaxed)) break;
      sink ^= *static_cast<const volatile uint8_t*>(directory_ + left - 1);
    }
    (void)sink;
  }
  for (uint64_t i = 0; i < count && found < kWanted; ++i) {
    size_t next = nextRecord(directory_, directorySize_, pos);
    if (next == 0) break;
    std::string_view text = recordName(directory_, pos);
    for (size_t k = 0; k < kWanted; ++k) {
      if (!seen[k] && text == kReadAhead[k]) {
        seen[k] = true;
        recordAt[k] = pos;
        ++found;
      }
    }
    pos = next;
  }
  // In the order of kReadAhead.
  found = 0;
  for (size_t k = 0; k < kWanted; ++k) {
    if (seen[k]) recordAt[found++] = recordAt[k];
  }
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    for (size_t j = 0; j < found; ++j)
      p.entries[j].nameOffset = static_cast<uint32_t>(recordAt[j] + kDirectoryRecordSize);
    p.found = found;
    p.walked = true;
  }
  p.changed.notify_all();
  for (size_t j = 0; j < found; ++j) {
    Prefetch::Entry& entry = p.entries[j];
    {
      std::lock_guard<std::mutex> lock(p.mutex);
      if (entry.skipped) continue;  // the reader came first and reads it itself
      entry.started = true;
    }
    Member m;
    Contents contents;
    ReadResult result = ReadResult::Corrupt;
    bool usable = false;
    if (!p.cancel.load(std::memory_order_relaxed) && decodeRecord(directory_, recordAt[j], m) &&
        m.localHeaderOffset < directoryOffset_ && m.size <= kReadAheadLimit) {
      try {
        result = readWhole(m, contents, &p.cancel);
        usable = !p.cancel.load(std::memory_order_relaxed);
      } catch (const std::exception&) {
        // no room: the reader reads it when it asks, and meets the same
      }
    }
    {
      std::lock_guard<std::mutex> lock(p.mutex);
      entry.result = result;
      entry.contents.swap(contents);
      entry.usable = usable;
      entry.done = true;
      p.step();
    }
  }
}

bool ApkArchive::takePrefetched(const Member& m, Contents& contents, ReadResult& result) const {
  if (!prefetch_) return false;
  Prefetch& p = *prefetch_;
  std::unique_lock<std::mutex> lock(p.mutex);
  // Never wait for work that has not begun: the reader does it itself.
  if (!p.walked) {
    p.cancel.store(true, std::memory_order_relaxed);
    return false;
  }
  for (size_t j = 0; j < p.found; ++j) {
    Prefetch::Entry& entry = p.entries[j];
    if (entry.nameOffset != m.nameOffset) continue;
    if (!entry.started) {
      entry.skipped = true;
      return false;
    }
    p.await(lock, [&] { return entry.done; });
    if (!entry.usable || entry.taken) return false;
    entry.taken = true;
    contents.swap(entry.contents);
    result = entry.result;
    return true;
  }
  return false;
}

ApkArchive::ReadResult ApkArchive::fill(const Member& m, uint64_t at, uint8_t* out) const {
  const size_t size = static_cast<size_t>(m.size);
  uint8_t none = 0;  // an empty member still needs somewhere to point
  if (size == 0 || !out) out = &none;
  if (m.stored()) {
    if (!source_->read(at, out, size)) return ReadResult::CannotOpen;
  } else if (m.compressedSize <= wholeBufferLimit(m.size) && decompressor()) {
    // Every method but "stored" is inflated, as the phone does.
    // Not zero-filled first: the read fills it or the member is refused.
    size_t inputSize = static_cast<size_t>(m.compressedSize);
    auto input = std::make_unique_for_overwrite<uint8_t[]>(inputSize);
    if (!source_->read(at, input.get(), inputSize)) return ReadResult::CannotOpen;
    size_t produced = 0;
    libdeflate_result r = libdeflate_deflate_decompress(decompressor(), input.get(), inputSize, out, size, &produced);
    if (r != LIBDEFLATE_SUCCESS || produced != size) return ReadResult::Corrupt;
  } else {
    // Every method but "stored" is inflated, as the phone does.
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return ReadResult::CannotOpen;
    std::vector<uint8_t> input(static_cast<size_t>(std::min<uint64_t>(m.compressedSize, kInflateInput)));
    uint8_t spill[64];  // anything past the recorded size lands here
    uint64_t left = m.compressedSize;
    size_t produced = 0;
    int status = Z_OK;
    bool readFailed = false;
    while (status == Z_OK) {
      if (z.avail_in == 0 && left > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(left, input.size()));
        if (!source_->read(at, input.data(), n)) {
          readFailed = true;
          break;
        }
        at += n;
        left -= n;
        z.next_in = input.data();
        z.avail_in = static_cast<uInt>(n);
      }
      bool full = produced == size;
      z.next_out = full ? spill : out + produced;
      size_t room = full ? sizeof spill : std::min<size_t>(size - produced, 1u << 30);
      z.avail_out = static_cast<uInt>(room);
      status = inflate(&z, Z_NO_FLUSH);
      size_t made = room - z.avail_out;
      if (full && made > 0) break;  // more than recorded
      if (!full) produced += made;
      if (status == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // input ended early
      if (status == Z_BUF_ERROR) status = Z_OK;
    }
    bool ended = status == Z_STREAM_END && produced == size;
    inflateEnd(&z);
    if (readFailed) return ReadResult::CannotOpen;
    if (!ended) return ReadResult::Corrupt;
  }
  if (libdeflate_crc32(0, out, size) != m.crc) return ReadResult::Corrupt;
  return ReadResult::Ok;
}

ApkArchive::ReadResult ApkArchive::readPrefix(const Member& m, size_t count, std::vector<uint8_t>& out) const {
  out.clear();
  if (!source_) return ReadResult::Missing;
  uint64_t at = 0;
  if (!dataOffset(m, at)) return ReadResult::Corrupt;
  size_t wanted = static_cast<size_t>(std::min<uint64_t>(m.size, count));
  out.resize(wanted);
  if (m.stored()) {
    if (!source_->read(at, out.data(), wanted)) {
      out.clear();
      return ReadResult::CannotOpen;
    }
    return ReadResult::Ok;
  }
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    out.clear();
    return ReadResult::CannotOpen;
  }
  std::vector<uint8_t> input(static_cast<size_t>(std::clamp<uint64_t>(m.compressedSize, 1, 16u << 10)));
  uint64_t left = m.compressedSize;
  size_t produced = 0;
  ReadResult result = ReadResult::Corrupt;
  while (produced < wanted) {
    if (z.avail_in == 0 && left > 0) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(left, input.size()));
      if (!source_->read(at, input.data(), n)) {
        result = ReadResult::CannotOpen;
        break;
      }
      at += n;
      left -= n;
      z.next_in = input.data();
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = out.data() + produced;
    z.avail_out = static_cast<uInt>(std::min<size_t>(wanted - produced, 1u << 30));
    uInt before = z.avail_out;
    int status = inflate(&z, Z_NO_FLUSH);
    produced += before - z.avail_out;
    if (status == Z_STREAM_END || (status != Z_OK && status != Z_BUF_ERROR)) break;
    if (status == Z_BUF_ERROR && z.avail_in == 0 && left == 0) break;  // the data ends early
  }
  inflateEnd(&z);
  if (produced == wanted) return ReadResult::Ok;
  out.clear();
  return result;
}

}  // namespace vantaro
