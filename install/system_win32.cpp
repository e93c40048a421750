#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "base/text.h"
#include "install/system.h"

namespace vantaro {
namespace {

std::u16string Wide(const std::string& gbk) { return gbkToWide(gbk); }
const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string TemporaryFolderWide() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return std::u16string();
  wchar_t longForm[32768];
  DWORD m = GetLongPathNameW(buffer, longForm, 32768);
  if (m == 0 || m >= 32768) return std::u16string(reinterpret_cast<const char16_t*>(buffer));
  return std::u16string(reinterpret_cast<const char16_t*>(longForm), m);
}

// The read-only attribute off, so that the file can be deleted.
void MakeWritable(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(W(path), attributes & ~FILE_ATTRIBUTE_READONLY);
}

}  // namespace

// Kept as the system names it: a folder such as "C:\Users\Jörg\..." holds
// characters GBK lacks, which wideToGbkPath keeps as escapes.
std::string TemporaryFolder() { return wideToGbkPath(TemporaryFolderWide()); }

int64_t FreeMegabytesOnTempDrive() {
  std::u16string folder = TemporaryFolderWide();
  if (folder.empty()) return 0;
  std::vector<wchar_t> root(folder.begin(), folder.end());
  root.push_back(L'\0');
  if (!PathStripToRootW(root.data())) return 0;
  ULARGE_INTEGER forCaller;
  if (!GetDiskFreeSpaceExW(root.data(), &forCaller, nullptr, nullptr)) return 0;
  return static_cast<int64_t>(forCaller.QuadPart >> 20);
}

bool IsExistingFile(const std::string& path) {
  DWORD attributes = GetFileAttributesW(W(Wide(path)));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CopyResult CopyToNewFile(const std::string& from, const std::string& to) {
  std::u16string target = Wide(to);
  if (CopyFileW(W(Wide(from)), W(target), TRUE)) {
    // CopyFileW copies the attributes too: the copy of a read-only package
    // would be one that DeleteFileW cannot remove.
    MakeWritable(target);
    return CopyResult::Copied;
  }
  DWORD error = GetLastError();
  // CopyFileW removes a partial copy of its own; a file that was there
  // before is somebody else's and stays.
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CopyResult::NameTaken : CopyResult::Failed;
}

void RemoveFile(const std::string& path) {
  std::u16string wide = Wide(path);
  if (DeleteFileW(W(wide)) || GetLastError() != ERROR_ACCESS_DENIED) return;
  MakeWritable(wide);
  DeleteFileW(W(wide));
}

CopyResult CreateNewFolder(const std::string& path) {
  if (CreateDirectoryW(W(Wide(path)), nullptr)) return CopyResult::Copied;
  return GetLastError() == ERROR_ALREADY_EXISTS ? CopyResult::NameTaken : CopyResult::Failed;
}

void RemoveFolder(const std::string& path) { RemoveDirectoryW(W(Wide(path))); }

CopyResult NewFile::create(const std::string& path) {
  close();
  HANDLE file = CreateFileW(W(Wide(path)), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CopyResult::NameTaken : CopyResult::Failed;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return CopyResult::Copied;
}

bool NewFile::write(const void* data, size_t size) {
  if (handle_ == kInvalid) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD piece = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(handle_), bytes, piece, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool NewFile::close() {
  if (handle_ == kInvalid) return true;
  bool ok = CloseHandle(reinterpret_cast<HANDLE>(handle_)) != 0;
  handle_ = kInvalid;
  return ok;
}

std::tm LocalTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::tm local{};
  local.tm_year = now.wYear - 1900;
  local.tm_mon = now.wMonth - 1;
  local.tm_mday = now.wDay;
  local.tm_hour = now.wHour;
  local.tm_min = now.wMinute;
  local.tm_sec = now.wSecond;
  local.tm_wday = now.wDayOfWeek;
  return local;
}

}  // namespace vantaro
