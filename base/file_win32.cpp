#include <windows.h>

#include "base/file.h"
#include "base/text.h"

namespace vantaro {

std::string nativePath(const std::string& gbkPath) { return gbkPath; }

bool ReadOnlyFile::open(const std::string& gbkPath) {
  close();
  std::u16string wide = gbkToWide(gbkPath);
  HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(wide.c_str()), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(h);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void ReadOnlyFile::close() {
  if (handle_ != kInvalid) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kInvalid;
}

int64_t ReadOnlyFile::size() const {
  LARGE_INTEGER size;
  if (handle_ == kInvalid || !GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size)) return -1;
  return size.QuadPart;
}

int64_t ReadOnlyFile::readAt(uint64_t offset, void* buffer, size_t count) const {
  if (handle_ == kInvalid) return -1;
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, want, &got, &at)) {
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  }
  return got;
}

// Windows refuses to shorten a file while a view of it is mapped, but a
// file on a network share can still fail under a view with an exception
// that nothing here would catch: files are read, never mapped.
bool ReadOnlyFile::view(uint64_t, size_t, FileView& out, bool) const {
  out.release();
  return false;
}

void FileView::release() {
  data_ = nullptr;
  size_ = 0;
}



}  // namespace vantaro
