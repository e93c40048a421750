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

inline Bytes buildZip(const std::vector<ZipMember>& members, const Bytes& prefix = {}) {
  Bytes zip = prefix, directory;
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
    uint32_t localAt = static_cast<uint32_t>(zip.size() - prefix.size());
    put32(zip, 0x04034b50);
    common(zip);
    zip.insert(zip.end(), m.name.begin(), m.name.end());
    append(zip, stored);

    put32(directory, 0x02014b50);
    put16(directory, 20);
    common(directory);
    put16(directory, 0);  // comment
    put16(directory, 0);  // disk
    put16(directory, 0);  // internal attributes
    put32(directory, 0);  // external attributes
    put32(directory, localAt);
    directory.insert(directory.end(), m.name.begin(), m.name.end());
  }
  uint32_t directoryAt = static_cast<uint32_t>(zip.size() - prefix.size());
  append(zip, directory);
  put32(zip, 0x06054b50);
  put16(zip, 0);
  put16(zip, 0);
  put16(zip, static_cast<uint32_t>(members.size()));
  put16(zip, static_cast<uint32_t>(members.size()));
  put32(zip, static_cast<uint32_t>(directory.size()));
  put32(zip, directoryAt);
  put16(zip, 0);
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
