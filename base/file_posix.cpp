#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "base/file.h"
#include "base/text.h"

namespace vantaro {

namespace {

// The mapped views, for the handler of SIGBUS: a file shortened under a view
// (another program rewriting the package while it is shown) makes the
// view's pages past the new end fault. The handler puts zero-filled pages in
// place of the whole view, so that the reader sees bytes that fail its
// checks (or names that match nothing) instead of the program dying.
struct GuardedView {
  std::atomic<uintptr_t> start{0};
  std::atomic<size_t> length{0};
};
constexpr size_t kGuardedViews = 64;
GuardedView guardedViews[kGuardedViews];
struct sigaction previousBusAction;

void onBusError(int signal, siginfo_t* info, void* context) {
  auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (GuardedView& view : guardedViews) {
    uintptr_t start = view.start.load(std::memory_order_acquire);
    size_t length = view.length.load(std::memory_order_acquire);
    if (start != 0 && at - start < length) {
      if (mmap(reinterpret_cast<void*>(start), length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
          MAP_FAILED) {
        return;
      }
      break;
    }
  }
  // Not ours: whoever handled it before, or the default (the faulting access
  // runs again and ends the program as it would have).
  if (previousBusAction.sa_flags & SA_SIGINFO) {
    if (previousBusAction.sa_sigaction) return previousBusAction.sa_sigaction(signal, info, context);
  } else if (previousBusAction.sa_handler != SIG_DFL && previousBusAction.sa_handler != SIG_IGN) {
    return previousBusAction.sa_handler(signal);
  }
  ::signal(SIGBUS, SIG_DFL);
}

bool installBusHandler() {
  static const bool installed = [] {
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &previousBusAction) == 0;
  }();
  return installed;
}

bool guard(void* start, size_t length) {
  for (GuardedView& view : guardedViews) {
    // A free entry's length is already 0 (cleared before its start).
    uintptr_t empty = 0;
    if (view.start.compare_exchange_strong(empty, reinterpret_cast<uintptr_t>(start))) {
      view.length.store(length, std::memory_order_release);
      return true;
    }
  }
  return false;  // as many views as that: this one is read instead
}

}  // namespace

bool ReadOnlyFile::view(uint64_t offset, size_t count, FileView& out, bool populate) const {
  out.release();
  int64_t fileSize = size();
  if (handle_ == kInvalid || count == 0 || fileSize < 0 || offset > static_cast<uint64_t>(fileSize) ||
      count > static_cast<uint64_t>(fileSize) - offset || !installBusHandler()) {
    return false;
  }
  static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  uint64_t start = offset / page * page;
  size_t length = static_cast<size_t>(offset - start) + count;
  // Every page at once: one call instead of a fault for each few pages.
  void* mapping = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | (populate ? MAP_POPULATE : 0),
                       static_cast<int>(handle_), static_cast<off_t>(start));
  if (mapping == MAP_FAILED) return false;
  if (!guard(mapping, length)) {
    munmap(mapping, length);
    return false;
  }
  out.mapping_ = mapping;
  out.mappingLength_ = length;
  out.data_ = static_cast<const uint8_t*>(mapping) + (offset - start);
  out.size_ = count;
  return true;
}

void FileView::release() {
  if (mapping_) {
    for (GuardedView& view : guardedViews) {
      if (view.start.load(std::memory_order_relaxed) == reinterpret_cast<uintptr_t>(mapping_)) {
        view.length.store(0, std::memory_order_release);
        view.start.store(0, std::memory_order_release);
        break;
      }
    }
    munmap(mapping_, mappingLength_);
  }
  mapping_ = nullptr;
  mappingLength_ = 0;
  data_ = nullptr;
  size_ = 0;
}

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
