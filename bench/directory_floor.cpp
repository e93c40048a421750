// The cost floor of a package's central directory: find the end record, read
// every byte of the directory from the file and step over every record, exit.
// No names are hashed, checked or kept. Any reader that checks each record,
// as the phone's does, reads at least this much; the difference between two
// packages here is what their member counts cost before any indexing.
//
// The directory is read in pieces into one small buffer (measured the
// cheapest way to bring file bytes in: no page of the file is mapped, no page
// of fresh memory is touched). Exit status 0 when the records stepped over
// are as many as the end record says.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char* p) { return le16(p) | static_cast<uint32_t>(le16(p + 2)) << 16; }
uint64_t le64(const unsigned char* p) { return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32; }

bool readAt(int fd, uint64_t at, unsigned char* out, size_t size) {
  while (size > 0) {
    ssize_t n = pread(fd, out, size, static_cast<off_t>(at));
    if (n <= 0) return false;
    out += n;
    at += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

int fail(const char* path, const char* why) {
  std::fprintf(stderr, "directory_floor: %s: %s\n", path, why);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: directory_floor FILE\n");
    return 2;
  }
  const char* path = argv[1];
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return fail(path, "cannot open");
  uint64_t fileSize = static_cast<uint64_t>(st.st_size);
  if (fileSize < 22) return fail(path, "not a zip archive");

  // The end record: the last signature in the final 64 KiB.
  size_t tailSize = static_cast<size_t>(fileSize < 65557 ? fileSize : 65557);
  std::vector<unsigned char> tail(tailSize);
  uint64_t tailAt = fileSize - tailSize;
  if (!readAt(fd, tailAt, tail.data(), tailSize)) return fail(path, "cannot read");
  size_t end = tailSize - 22 + 1;
  while (end-- > 0 && le32(&tail[end]) != 0x06054b50) {
  }
  if (end == static_cast<size_t>(-1)) return fail(path, "no end record");
  uint64_t count = le16(&tail[end + 10]);
  uint64_t size = le32(&tail[end + 12]);
  uint64_t offset = le32(&tail[end + 16]);
  if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {  // zip64
    uint64_t endAt = tailAt + end;
    unsigned char locator[20], record[56];
    if (endAt < 20 || !readAt(fd, endAt - 20, locator, 20) || le32(locator) != 0x07064b50 ||
        !readAt(fd, le64(locator + 8), record, 56) || le32(record) != 0x06064b50) {
      return fail(path, "no zip64 end record");
    }
    count = le64(record + 32);
    size = le64(record + 40);
    offset = le64(record + 48);
  }
  if (offset > fileSize || size > fileSize - offset) return fail(path, "directory outside the file");

  // Records may straddle pieces: what is left of one piece moves to the
  // front before the next is read behind it.
  constexpr size_t kPiece = 64 << 10;
  constexpr size_t kLongestRecord = 46 + 3 * 0xFFFF;
  std::vector<unsigned char> buffer(kPiece + kLongestRecord);
  uint64_t records = 0, readUpTo = offset;
  size_t have = 0, at = 0;
  while (records < count) {
    if (have - at < kLongestRecord && readUpTo < offset + size) {
      std::memmove(buffer.data(), buffer.data() + at, have - at);
      have -= at;
      at = 0;
      size_t piece = static_cast<size_t>(offset + size - readUpTo < kPiece ? offset + size - readUpTo : kPiece);
      if (!readAt(fd, readUpTo, buffer.data() + have, piece)) return fail(path, "cannot read the directory");
      have += piece;
      readUpTo += piece;
    }
    if (have - at < 46 || le32(&buffer[at]) != 0x02014b50) break;
    size_t next = at + 46 + le16(&buffer[at + 28]) + le16(&buffer[at + 30]) + le16(&buffer[at + 32]);
    if (next > have) break;
    at = next;
    ++records;
  }
  close(fd);
  std::printf("%llu records, %llu bytes\n", static_cast<unsigned long long>(records),
              static_cast<unsigned long long>(size));
  return records == count ? 0 : fail(path, "the records end early");
}
