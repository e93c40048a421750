#include "app/shared_path.h"

#include <cwchar>

namespace vantaro::app {

// Holds the mutex for one write or read. An abandoned mutex (its holder
// ended halfway) is ours all the same, but what its holder left may be
// half a path: it is thrown away.
class SharedPathBuffer::Lock {
 public:
  Lock(HANDLE mutex, DWORD waitMs, wchar_t* view) : mutex_(mutex) {
    DWORD got = mutex ? WaitForSingleObject(mutex, waitMs) : WAIT_FAILED;
    held_ = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
    if (got == WAIT_ABANDONED && view) view[0] = L'\0';
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

std::wstring_view UnquotePath(std::wstring_view path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') return path.substr(1, path.size() - 2);
  return path;
}

SharedPathBuffer::SharedPathBuffer(const wchar_t* name) {
  std::wstring mutexName = std::wstring(name) + L".Lock";
  mutex_ = CreateMutexW(nullptr, FALSE, mutexName.c_str());
  // A new object of the paging file starts as zeros: no path.
  constexpr DWORD kBytes = kUnits * sizeof(wchar_t);
  mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBytes, name);
  if (mapping_) view_ = static_cast<wchar_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, kBytes));
}

SharedPathBuffer::~SharedPathBuffer() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
  if (mutex_) CloseHandle(mutex_);
}

bool SharedPathBuffer::HandOver(std::wstring_view path, const std::function<bool()>& notify, DWORD waitMs) {
  path = UnquotePath(path);
  if (!view_ || path.empty() || path.size() >= kUnits || path.find(L'\0') != std::wstring_view::npos) return false;
  const ULONGLONG deadline = GetTickCount64() + waitMs;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    {
      Lock lock(mutex_, left, view_);
      if (!lock.held()) return false;
      // The last path taken, or the window did not take it in time.
      if (view_[0] == L'\0' || left == 0) {
        wmemcpy(view_, path.data(), path.size());
        view_[path.size()] = L'\0';
        if (notify()) return true;
        view_[0] = L'\0';  // nobody will take it
        return false;
      }
    }
    Sleep(20);
  }
}

std::wstring SharedPathBuffer::Take() {
  Lock lock(mutex_, kWaitMs, view_);
  if (!view_ || !lock.held()) return std::wstring();
  size_t length = wcsnlen(view_, kUnits);
  std::wstring path = length < kUnits ? std::wstring(view_, length) : std::wstring();
  view_[0] = L'\0';
  return path;
}

}  // namespace vantaro::app
