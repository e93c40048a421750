#include "package/apk_archive.h"

#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/bytes.h"
#include "base/text.h"

namespace vantaro {
namespace {

// A central directory larger than this is no package's (44,000 members take
// about 3 MB).
constexpr uint64_t kMaxDirectory = 64u << 20;
constexpr size_t kMaxNameLength = 255;
// The directory is read through a window of this size while it is indexed.
constexpr size_t kDirectoryWindow = 64u << 10;

// minizip reads through these callbacks: the archive's already open file,
// with a small read-ahead window, since minizip reads its headers a few bytes
// at a time.
struct Stream {
  const ReadOnlyFile* file;
  uint64_t position = 0;
  uint64_t windowStart = 0;
  size_t windowLength = 0;
  uint8_t window[4096];
  bool failed = false;
};

voidpf ZCALLBACK streamOpen(voidpf, const void* file, int) {
  auto* s = new (std::nothrow) Stream;
  if (s) s->file = static_cast<const ReadOnlyFile*>(file);
  return s;
}

uLong ZCALLBACK streamRead(voidpf, voidpf stream, void* buffer, uLong size) {
  auto* s = static_cast<Stream*>(stream);
  auto* out = static_cast<uint8_t*>(buffer);
  uLong done = 0;
  while (done < size) {
    if (s->position >= s->windowStart && s->position < s->windowStart + s->windowLength) {
      size_t at = static_cast<size_t>(s->position - s->windowStart);
      size_t n = std::min<size_t>(s->windowLength - at, size - done);
      std::memcpy(out + done, s->window + at, n);
      done += n;
      s->position += n;
      continue;
    }
    uLong left = size - done;
    if (left >= sizeof s->window) {
      int64_t n = s->file->readAt(s->position, out + done, left);
      if (n < 0) s->failed = true;
      if (n <= 0) break;
      done += static_cast<uLong>(n);
      s->position += static_cast<uint64_t>(n);
      continue;
    }
    int64_t n = s->file->readAt(s->position, s->window, sizeof s->window);
    if (n < 0) s->failed = true;
    if (n <= 0) break;
    s->windowStart = s->position;
    s->windowLength = static_cast<size_t>(n);
  }
  return done;
}

uLong ZCALLBACK streamWrite(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK streamTell(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->position; }

long ZCALLBACK streamSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<Stream*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
    base = s->position;
  } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
    int64_t size = s->file->size();
    if (size < 0) return -1;
    base = static_cast<uint64_t>(size);
  }
  s->position = base + offset;
  return 0;
}

int ZCALLBACK streamClose(voidpf, voidpf stream) {
  delete static_cast<Stream*>(stream);
  return 0;
}

int ZCALLBACK streamError(voidpf, voidpf stream) { return static_cast<Stream*>(stream)->failed ? 1 : 0; }

// Where the central directory is, from the end record, the way minizip
// finds it: the last end-record signature within the final 64 KiB.
bool locateCentralDirectory(const ReadOnlyFile& file, uint64_t& start, uint64_t& size, uint64_t& offset,
                            uint64_t& count) {
  int64_t fileSize = file.size();
  if (fileSize < 22) return false;
  uint64_t back = std::min<uint64_t>(static_cast<uint64_t>(fileSize), 0xFFFF + 22);
  std::vector<uint8_t> tail(static_cast<size_t>(back));
  uint64_t tailStart = static_cast<uint64_t>(fileSize) - back;
  if (!file.readExactly(tailStart, tail.data(), tail.size())) return false;
  ByteView view(tail.data(), tail.size());
  for (size_t i = tail.size() - 22 + 1; i-- > 0;) {
    uint32_t signature = 0;
    view.u32(i, signature);
    if (signature != 0x06054b50) continue;
    uint16_t entries = 0;
    uint32_t cdSize = 0, cdOffset = 0;
    view.u16(i + 10, entries);
    view.u32(i + 12, cdSize);
    view.u32(i + 16, cdOffset);
    uint64_t recordAt = tailStart + i;
    size = cdSize;
    offset = cdOffset;
    count = entries;
    // A zip64 locator right before the end record points at the zip64 end record.
    if (cdOffset == 0xFFFFFFFF || cdSize == 0xFFFFFFFF || entries == 0xFFFF) {
      uint8_t locator[20];
      if (recordAt < 20 || !file.readExactly(recordAt - 20, locator, 20)) return false;
      ByteView l(locator, 20);
      uint32_t sig;
      uint32_t low, high;
      l.u32(0, sig);
      l.u32(8, low);
      l.u32(12, high);
      if (sig != 0x07064b50) return false;
      uint64_t zip64At = (uint64_t{high} << 32) | low;
      uint8_t record[56];
      if (!file.readExactly(zip64At, record, sizeof record)) return false;
      ByteView r(record, sizeof record);
      uint32_t s2, a, b;
      r.u32(0, s2);
      if (s2 != 0x06064b50) return false;
      r.u32(32, a); r.u32(36, b); count = (uint64_t{b} << 32) | a;
      r.u32(40, a); r.u32(44, b); size = (uint64_t{b} << 32) | a;
      r.u32(48, a); r.u32(52, b); offset = (uint64_t{b} << 32) | a;
      // minizip measures the directory back from the zip64 record's own position.
      recordAt = zip64At;
    }
    if (size > recordAt) return false;
    start = recordAt - size;
    return true;
  }
  return false;
}

// A hash of a member name that ignores letter case: bit 5 is set in every
// byte, so names that compare equal ignoring case (which folds only A-Z)
// always hash alike. Names that merely hash alike are told apart by find().
inline uint32_t nameHash(std::string_view name) {
  constexpr uint64_t kFold = 0x2020202020202020ull;
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  const char* p = name.data();
  size_t n = name.size();
  uint64_t h = n;
  uint64_t word;
  if (n >= 8) {
    for (size_t i = 0; i + 8 <= n; i += 8) {
      std::memcpy(&word, p + i, 8);
      h = (h ^ (word | kFold)) * kMultiplier;
    }
    if (n % 8) {  // the last eight bytes, overlapping the word before
      std::memcpy(&word, p + n - 8, 8);
      h = (h ^ (word | kFold)) * kMultiplier;
    }
  } else {
    word = 0;
    for (size_t i = 0; i < n; ++i) word |= uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    h = (h ^ (word | kFold)) * kMultiplier;
  }
  return static_cast<uint32_t>(h >> 32);
}

}  // namespace

ApkArchive::ApkArchive() = default;
ApkArchive::~ApkArchive() { close(); }

bool ApkArchive::open(const std::string& gbkPath) {
  close();
  if (!file_.open(gbkPath)) return false;
  zlib_filefunc64_def functions = {};
  functions.zopen64_file = streamOpen;
  functions.zread_file = streamRead;
  functions.zwrite_file = streamWrite;
  functions.ztell64_file = streamTell;
  functions.zseek64_file = streamSeek;
  functions.zclose_file = streamClose;
  functions.zerror_file = streamError;
  zip_ = unzOpen2_64(&file_, &functions);
  if (!zip_ || !indexCentralDirectory()) {
    close();
    return false;
  }
  return true;
}

void ApkArchive::close() {
  if (zip_) unzClose(static_cast<unzFile>(zip_));
  zip_ = nullptr;
  file_.close();
  directoryStart_ = 0;
  entries_.clear();
  entries_.shrink_to_fit();
}

bool ApkArchive::indexCentralDirectory() {
  uint64_t start, size, count;
  if (!locateCentralDirectory(file_, start, size, directoryOffset_, count)) return false;
  if (size > kMaxDirectory) return false;
  directoryStart_ = start;
  entries_.reserve(static_cast<size_t>(std::min<uint64_t>(count, size / 46)));

  // Records are parsed in a window that slides over the directory; a record
  // whose header or name would pass the directory's end ends the index.
  std::vector<uint8_t> window(static_cast<size_t>(std::min<uint64_t>(size, kDirectoryWindow)));
  uint64_t windowAt = 0;
  size_t windowLength = 0;
  uint64_t pos = 0;
  for (uint64_t i = 0; i < count; ++i) {
    if (pos + 46 > size) break;
    // The header and, when it is indexed, the name must be in the window.
    uint64_t windowEnd = windowAt + windowLength;
    bool inWindow = pos + 46 <= windowEnd;
    if (inWindow) {
      const uint8_t* header = window.data() + (pos - windowAt);
      size_t nameLength = header[28] | (header[29] << 8);
      inWindow = nameLength > kMaxNameLength || pos + 46 + nameLength <= windowEnd;
    }
    if (!inWindow) {
      size_t n = static_cast<size_t>(std::min<uint64_t>(window.size(), size - pos));
      if (!file_.readExactly(start + pos, window.data(), n)) return false;
      windowAt = pos;
      windowLength = n;
    }
    ByteView record(window.data() + (pos - windowAt), static_cast<size_t>(windowAt + windowLength - pos));
    uint32_t signature = 0;
    uint16_t nameLength = 0, extraLength = 0, commentLength = 0;
    record.u32(0, signature);
    if (signature != 0x02014b50) break;
    record.u16(28, nameLength);
    record.u16(30, extraLength);
    record.u16(32, commentLength);
    if (pos + 46 + nameLength > size) break;
    if (nameLength <= kMaxNameLength) {
      std::string_view name(reinterpret_cast<const char*>(record.data() + 46), nameLength);
      entries_.push_back({nameHash(name), static_cast<uint32_t>(pos)});
    }
    pos += 46u + nameLength + extraLength + commentLength;
  }
  return true;
}

const ApkArchive::Entry* ApkArchive::find(const std::string& name) const {
  if (name.empty() || name.size() > kMaxNameLength) return nullptr;
  uint32_t hash = nameHash(name);
  uint8_t record[46 + kMaxNameLength];
  for (const Entry& e : entries_) {
    if (e.hash != hash) continue;
    // Same hash: compare the name itself, as the directory records it.
    uint16_t nameLength = 0;
    if (!file_.readExactly(directoryStart_ + e.offset, record, 46 + name.size())) continue;
    ByteView(record, sizeof record).u16(28, nameLength);
    if (nameLength != name.size()) continue;
    if (equalsNoCase(std::string_view(reinterpret_cast<const char*>(record + 46), nameLength), name)) return &e;
  }
  return nullptr;
}

bool ApkArchive::contains(const std::string& name) const { return find(name) != nullptr; }

ApkArchive::ReadResult ApkArchive::read(const std::string& name, size_t maxSize, std::vector<uint8_t>& out) {
  out.clear();
  if (!zip_) return ReadResult::Missing;
  const Entry* entry = find(name);
  if (!entry) {
    // Names flagged as UTF-8 in the archive: try the same text in UTF-8.
    bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) entry = find(gbkToUtf8(name));
  }
  if (!entry) return ReadResult::Missing;
  auto zip = static_cast<unzFile>(zip_);
  if (unzSetOffset64(zip, directoryOffset_ + entry->offset) != UNZ_OK) return ReadResult::CannotOpen;
  unz_file_info64 info;
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return ReadResult::CannotOpen;
  if (info.uncompressed_size > maxSize) return ReadResult::TooLarge;
  if (unzOpenCurrentFile(zip) != UNZ_OK) return ReadResult::CannotOpen;
  out.resize(static_cast<size_t>(info.uncompressed_size));
  bool ok = true;
  if (info.compression_method == 0) {
    // Stored: minizip would move the data through its 16 KiB window one byte
    // at a time, so it is read straight into the buffer instead, with the
    // same checks: the data must all be there and match its checksum. (Like
    // minizip without a password, this ignores the encryption flag.)
    ok = info.compressed_size >= info.uncompressed_size &&
         file_.readExactly(unzGetCurrentFileZStreamPos64(zip), out.data(), out.size()) &&
         crc32_z(0, out.data(), out.size()) == info.crc;
  } else {
    size_t done = 0;
    while (done < out.size()) {
      unsigned chunk = static_cast<unsigned>(std::min<size_t>(out.size() - done, 1u << 30));
      int n = unzReadCurrentFile(zip, out.data() + done, chunk);
      if (n <= 0) {
        ok = false;
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  int closed = unzCloseCurrentFile(zip);  // reports a checksum mismatch of what minizip read
  if (!ok || closed != UNZ_OK) {
    out.clear();
    out.shrink_to_fit();
    return ReadResult::Corrupt;
  }
  return ReadResult::Ok;
}

}  // namespace vantaro
