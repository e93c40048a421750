#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file.h"
#include "base/text.h"

namespace vantaro {

std::string nativePath(const std::string& gbkPath) { return gbkPathToNativeBytes(gbkPath); }

bool ReadOnlyFile::open(const std::string& gbkPath) {
  close();
  int fd = ::open(nativePath(gbkPath).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

void ReadOnlyFile::close() {
  if (handle_ != kInvalid) ::close(static_cast<int>(handle_));
  handle_ = kInvalid;
}

int64_t ReadOnlyFile::size() const {
  struct stat st;
  if (handle_ == kInvalid || fstat(static_cast<int>(handle_), &st) != 0) return -1;
  return st.st_size;
}

int64_t ReadOnlyFile::readAt(uint64_t offset, void* buffer, size_t count) const {
  if (handle_ == kInvalid) return -1;
  for (;;) {
    ssize_t n = pread(static_cast<int>(handle_), buffer, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}



}  // namespace vantaro
