#pragma once
// Writes zip archives member by member, including the lies (sizes, checksums)
// that damaged or hostile packages tell.

#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chunk_builder.h"

namespace vantaro::test {

struct ZipMember {
  std::string name;
  Bytes data;
  bool deflate = true;
  int64_t recordedSize = -1;  // uncompressed size written in the headers; -1 the real one
  int64_t recordedCrc = -1;
  uint16_t flags = 0;         // 0x0800 UTF-8 name, 0x0001 "encrypted"
};

inline Bytes rawDeflate(const Bytes& in) {
  z_stream z{};
  deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, static_cast<uLong>(in.size())) + 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Local entries and central directory of the members, the entries
// starting at offset start of the file.
struct ZipParts {
  Bytes entries, directory;
};

inline ZipParts buildZipParts(const std::vector<ZipMember>& members, size_t start = 0) {
  ZipParts parts;
  for (const ZipMember& m : members) {
    Bytes stored = m.deflate ? rawDeflate(m.data) : m.data;
    uint32_t crc = m.recordedCrc >= 0 ? static_cast<uint32_t>(m.recordedCrc)
                                      : static_cast<uint32_t>(crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
    uint32_t size = m.recordedSize >= 0 ? static_cast<uint32_t>(m.recordedSize) : static_cast<uint32_t>(m.data.size());
    auto common = [&](Bytes& b) {
      put16(b, 20);
      put16(b, m.flags);
      put16(b, m.deflate ? 8 : 0);
      put16(b, 0);
      put16(b, 0x21);  // 1980-01-01
      put32(b, crc);
      put32(b, static_cast<uint32_t>(stored.size()));
      put32(b, size);
      put16(b, static_cast<uint32_t>(m.name.size()));
      put16(b, 0);
    };
    uint32_t localAt = static_cast<uint32_t>(start + parts.entries.size());
    put32(parts.entries, 0x04034b50);
    common(parts.entries);
    parts.entries.insert(parts.entries.end(), m.name.begin(), m.name.end());
    append(parts.entries, stored);

    Bytes& d = parts.directory;
    put32(d, 0x02014b50);
    put16(d, 20);
    common(d);
    put16(d, 0);  // comment
    put16(d, 0);  // disk
    put16(d, 0);  // internal attributes
    put32(d, 0);  // external attributes
    put32(d, localAt);
    d.insert(d.end(), m.name.begin(), m.name.end());
  }
  return parts;
}

// The end record: count members in a directory of size bytes at offset.
inline Bytes endRecord(uint32_t count, uint32_t size, uint32_t offset, const std::string& comment = "") {
  Bytes b;
  put32(b, 0x06054b50);
  put16(b, 0);
  put16(b, 0);
  put16(b, count);
  put16(b, count);
  put32(b, size);
  put32(b, offset);
  put16(b, static_cast<uint32_t>(comment.size()));
  b.insert(b.end(), comment.begin(), comment.end());
  return b;
}

// A zip64 end record at recordAt and the locator that follows it.
inline Bytes zip64EndRecords(uint64_t count, uint64_t size, uint64_t offset, uint64_t recordAt) {
  auto put64 = [](Bytes& b, uint64_t v) {
    put32(b, static_cast<uint32_t>(v));
    put32(b, static_cast<uint32_t>(v >> 32));
  };
  Bytes b;
  put32(b, 0x06064b50);
  put64(b, 44);  // size of the rest
  put16(b, 45);
  put16(b, 45);
  put32(b, 0);
  put32(b, 0);
  put64(b, count);
  put64(b, count);
  put64(b, size);
  put64(b, offset);
  put32(b, 0x07064b50);
  put32(b, 0);
  put64(b, recordAt);
  put32(b, 1);
  return b;
}

inline Bytes buildZip(const std::vector<ZipMember>& members, const Bytes& prefix = {}) {
  ZipParts parts = buildZipParts(members, prefix.size());
  Bytes zip = prefix;
  append(zip, parts.entries);
  size_t directoryAt = zip.size();
  append(zip, parts.directory);
  append(zip, endRecord(static_cast<uint32_t>(members.size()), static_cast<uint32_t>(parts.directory.size()),
                        static_cast<uint32_t>(directoryAt)));
  return zip;
}

// A file in the temporary folder, removed when the object goes.
class TempFile {
 public:
  TempFile(const std::string& name, const Bytes& contents) {
    path_ = (std::filesystem::temp_directory_path() / name).string();
    std::ofstream(path_, std::ios::binary).write(reinterpret_cast<const char*>(contents.data()),
                                                static_cast<std::streamsize>(contents.size()));
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }  // ASCII, so also GBK

 private:
  std::string path_;
};

}  // namespace vantaro::test
