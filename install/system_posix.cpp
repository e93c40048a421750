#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "base/file.h"
#include "base/text.h"
#include "install/system.h"

namespace vantaro {

// The folder's bytes as they are (any name, UTF-8 or not), kept through
// nativeToGbkPath.
std::string TemporaryFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return nativeToGbkPath(folder);
}

int64_t FreeMegabytesOnTempDrive() {
  struct statvfs info;
  if (statvfs(nativePath(TemporaryFolder()).c_str(), &info) != 0) return 0;
  return static_cast<int64_t>((static_cast<uint64_t>(info.f_bavail) * info.f_frsize) >> 20);
}

bool IsExistingFile(const std::string& path) {
  struct stat st;
  return stat(nativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

CopyResult CopyToNewFile(const std::string& from, const std::string& to) {
  int source = ::open(nativePath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return CopyResult::Failed;
  std::string target = nativePath(to);
  int copy = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (copy < 0) {
    int error = errno;
    ::close(source);
    return error == EEXIST ? CopyResult::NameTaken : CopyResult::Failed;
  }
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(source, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = ::write(copy, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) ok = false;
      else done += w;
    }
    if (!ok) break;
  }
  ::close(source);
  if (::close(copy) != 0) ok = false;
  if (!ok) ::unlink(target.c_str());
  return ok ? CopyResult::Copied : CopyResult::Failed;
}

void RemoveFile(const std::string& path) { ::unlink(nativePath(path).c_str()); }

CopyResult CreateNewFolder(const std::string& path) {
  if (::mkdir(nativePath(path).c_str(), 0700) == 0) return CopyResult::Copied;
  return errno == EEXIST ? CopyResult::NameTaken : CopyResult::Failed;
}

void RemoveFolder(const std::string& path) { ::rmdir(nativePath(path).c_str()); }

CopyResult NewFile::create(const std::string& path) {
  close();
  int fd = ::open(nativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? CopyResult::NameTaken : CopyResult::Failed;
  handle_ = fd;
  return CopyResult::Copied;
}

bool NewFile::write(const void* data, size_t size) {
  if (handle_ == kInvalid) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(static_cast<int>(handle_), bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool NewFile::close() {
  if (handle_ == kInvalid) return true;
  bool ok = ::close(static_cast<int>(handle_)) == 0;
  handle_ = kInvalid;
  return ok;
}

std::tm LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace vantaro
