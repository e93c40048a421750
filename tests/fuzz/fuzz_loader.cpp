// The whole load of a package held in memory (a memfd, opened by its path).
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "package/loader.h"
#include "package/recording_display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vantaro::PermissionCatalog catalog;
  int fd = memfd_create("package", 0);
  if (fd < 0) return 0;
  size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  // The loader insists on the extension; the descriptor's path has none, so
  // go through a symbolic name the process can open.
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  std::string link = "/tmp/vantaro-fuzz-" + std::to_string(getpid()) + ".apk";
  unlink(link.c_str());
  if (symlink(path.c_str(), link.c_str()) == 0) {
    vantaro::PackageInfo info;
    vantaro::RecordingDisplay display;
    vantaro::PackageLoader(info, display, catalog).load(link, false);
    unlink(link.c_str());
  }
  close(fd);
  return 0;
}
