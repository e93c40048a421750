#include "base/file.h"

namespace vantaro {

bool ReadOnlyFile::readExactly(uint64_t offset, void* buffer, size_t count) const {
  auto* p = static_cast<char*>(buffer);
  while (count > 0) {
    int64_t n = readAt(offset, p, count);
    if (n <= 0) return false;
    p += n;
    offset += static_cast<uint64_t>(n);
    count -= static_cast<size_t>(n);
  }
  return true;
}

int64_t fileLength(const std::string& gbkPath) {
  ReadOnlyFile file;
  if (!file.open(gbkPath)) return -1;
  return file.size();
}

}  // namespace vantaro
