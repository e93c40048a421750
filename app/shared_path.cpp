#include "app/shared_path.h"

#include <cstring>

namespace vantaro::app {

// Holds the mutex for one write or read. An abandoned mutex (its holder
// ended halfway) is ours all the same: the buffer always holds a zero.
class SharedPathBuffer::Lock {
 public:
  explicit Lock(HANDLE mutex) : mutex_(mutex) {
    DWORD got = mutex ? WaitForSingleObject(mutex, 5000) : WAIT_FAILED;
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
  }
  ~Lock() {
    if (held_) ReleaseMutex(mutex_);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  bool held() const { return held_; }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

std::string_view UnquotePath(std::string_view path) {
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
  return path;
}

SharedPathBuffer::SharedPathBuffer(const wchar_t* name) {
  std::wstring mutexName = std::wstring(name) + L".Lock";
  mutex_ = CreateMutexW(nullptr, FALSE, mutexName.c_str());
  // A new object of the paging file starts as zeros.
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, name);
  if (mapping_) view_ = static_cast<char*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kSize));
}

SharedPathBuffer::~SharedPathBuffer() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
  if (mutex_) CloseHandle(mutex_);
}

bool SharedPathBuffer::Write(std::string_view path) {
  path = UnquotePath(path);
  Lock lock(mutex_);
  if (!view_ || !lock.held()) return false;
  bool fits = path.size() < kSize && path.find('\0') == std::string_view::npos;
  std::memset(view_, 0, kSize);
  if (fits) std::memcpy(view_, path.data(), path.size());
  return fits;
}

std::string SharedPathBuffer::Read() {
  Lock lock(mutex_);
  if (!view_ || !lock.held()) return std::string();
  return std::string(view_, strnlen(view_, kSize));
}

}  // namespace vantaro::app
