#include "settings/adb_component.h"

#include <windows.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <ioapi.h>
#include <unzip.h>

#include "base/text.h"
#include "device/runner.h"

namespace vantaro {

const char* const kPlatformToolsAddress = "https://dl.google.com/android/repository/platform-tools-latest-windows.zip";
const char* const kPlatformToolsAddressVariable = "VANTARO_PLATFORM_TOOLS_URL";
const char* const kPlatformToolsTermsAddress = "https://developer.android.com/studio/releases/platform-tools";
const char* const kExpectedSignerVariable = "VANTARO_TEST_ADB_SIGNER";

namespace {

const char* const kNotZipText = "下载的文件不是 zip 压缩包，未安装 adb 组件";
const char* const kMissingFilesText = "下载的压缩包里没有 platform-tools/adb.exe、AdbWinApi.dll 和 AdbWinUsbApi.dll，未安装 adb 组件";
const char* const kUnsafeNamesText = "下载的压缩包里有指向其他文件夹的文件名，已拒绝，未安装 adb 组件";
const char* const kBrokenText = "下载的压缩包已损坏，未安装 adb 组件";
const char* const kUnsignedText = "adb.exe 没有 Google 的有效数字签名，已拒绝，未安装 adb 组件";
const char* const kWriteFailedText = "无法写入 adb 组件的文件夹，未安装 adb 组件";
const char* const kInstalledText = "adb 组件已安装";
const char* const kAlreadyThereText = "文件夹里已有 adb.exe，未替换它";

// No file of the three is anywhere near this large.
constexpr uint64_t kLargestMember = 64ull * 1024 * 1024;

struct Member {
  const char* name;       // under "platform-tools/"
  const wchar_t* target;  // the file in the folder
};
const Member kMembers[] = {
    {"platform-tools/AdbWinApi.dll", L"AdbWinApi.dll"},
    {"platform-tools/AdbWinUsbApi.dll", L"AdbWinUsbApi.dll"},
    {"platform-tools/adb.exe", L"adb.exe"},  // last: its presence means the others are there
};
constexpr size_t kAdb = 2;

const wchar_t* const kPartSuffix = L".vantaro-part";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool equalsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// A member name that could land outside the folder it is unpacked into:
// absolute, with a drive or stream colon, or with a ".." segment (either
// separator counts, as the file system reads both).
bool leavesFolder(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\' || name.find(':') != std::string_view::npos)
    return true;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view segment = name.substr(start, end - start);
    // Windows drops trailing dots and spaces: ".. " and "..." name the parent too.
    size_t kept = segment.find_last_not_of(". ");
    if (!segment.empty() && kept == std::string_view::npos && segment.find('.') != std::string_view::npos &&
        segment.size() >= 2)
      return true;
    start = end + 1;
  }
  return false;
}

// minizip on a file named in UTF-16: the standard file functions, opened
// with _wfopen.
voidpf ZCALLBACK openWide(voidpf, const void* name, int) { return _wfopen(static_cast<const wchar_t*>(name), L"rb"); }

class Zip {
 public:
  explicit Zip(const std::wstring& path) {
    zlib_filefunc64_def functions;
    fill_fopen64_filefunc(&functions);
    functions.zopen64_file = &openWide;
    zip_ = unzOpen2_64(path.c_str(), &functions);
  }
  Zip(const Zip&) = delete;
  Zip& operator=(const Zip&) = delete;
  ~Zip() {
    if (zip_) unzClose(zip_);
  }
  unzFile get() const { return zip_; }

 private:
  unzFile zip_ = nullptr;
};

// The temporary files of one install: removed unless renamed into place.
class Parts {
 public:
  Parts(const Parts&) = delete;
  Parts& operator=(const Parts&) = delete;
  explicit Parts(std::wstring folder) : folder_(std::move(folder)) {}
  ~Parts() {
    for (size_t i = 0; i < 3; ++i)
      if (written_[i]) DeleteFileW(part(i).c_str());
    // Files renamed into place before a later step failed go again, unless
    // they were there before us.
    for (size_t i = 0; i < 3; ++i)
      if (placed_[i] && !committed_) DeleteFileW(final(i).c_str());
  }
  std::wstring part(size_t i) const { return folder_ + kMembers[i].target + kPartSuffix; }
  std::wstring final(size_t i) const { return folder_ + kMembers[i].target; }
  void written(size_t i) { written_[i] = true; }
  // Renames the part into place. adb.exe never replaces a file; the
  // libraries may (a left-over pair without adb.exe is ours to renew).
  bool place(size_t i) {
    const bool existed = GetFileAttributesW(final(i).c_str()) != INVALID_FILE_ATTRIBUTES;
    DWORD flags = i == kAdb ? 0 : MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(part(i).c_str(), final(i).c_str(), flags | MOVEFILE_WRITE_THROUGH)) return false;
    written_[i] = false;
    placed_[i] = !existed;
    return true;
  }
  void commit() { committed_ = true; }

 private:
  std::wstring folder_;
  bool written_[3] = {};
  bool placed_[3] = {};
  bool committed_ = false;
};

// Unpacks the current member into path; false when it is broken (its CRC
// included) or larger than declared.
bool extractCurrent(unzFile zip, uint64_t declared, const std::wstring& path) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    unzCloseCurrentFile(zip);
    return false;
  }
  std::vector<char> buffer(65536);
  uint64_t total = 0;
  bool ok = true;
  for (;;) {
    int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    total += static_cast<unsigned>(got);
    DWORD written = 0;
    if (total > declared || !WriteFile(file, buffer.data(), static_cast<DWORD>(got), &written, nullptr) ||
        written != static_cast<DWORD>(got)) {
      ok = false;
      break;
    }
  }
  ok = FlushFileBuffers(file) && ok;
  CloseHandle(file);
  // The CRC is checked here, once the whole member has been read.
  if (unzCloseCurrentFile(zip) != UNZ_OK) ok = false;
  return ok && total == declared;
}

std::wstring certificateName(PCCERT_CONTEXT certificate, DWORD type, const char* attribute) {
  wchar_t name[256] = {};
  DWORD n = CertGetNameStringW(certificate, type, 0, const_cast<char*>(attribute), name, 256);
  return n > 1 ? std::wstring(name, n - 1) : std::wstring();
}

bool isExpectedSigner(const std::wstring& organisation, const std::wstring& common) {
  std::vector<std::wstring> accepted;
  wchar_t test[256];
  DWORD length = GetEnvironmentVariableW(L"VANTARO_TEST_ADB_SIGNER", test, 256);
  if (length > 0 && length < 256) {
    accepted.emplace_back(test, length);
  } else {
    accepted = {L"Google LLC", L"Google Inc", L"Google Inc."};
  }
  for (const std::wstring& name : accepted)
    if (name == organisation || name == common) return true;
  return false;
}

}  // namespace

namespace {

bool writableFolder(const std::wstring& folder) {
  HANDLE probe = CreateFileW((folder + L"vantaro-write-test.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) return false;
  CloseHandle(probe);
  return true;
}

std::wstring wide(const std::string& gbk) {
  std::u16string text = gbkToWide(gbk);
  return std::wstring(text.begin(), text.end());
}

}  // namespace

std::wstring ComponentFolder() {
  const std::wstring own = wide(ProgramFolder());
  if (!own.empty() && writableFolder(own)) return own;
  const std::wstring user = wide(UserToolFolder());
  if (user.empty()) return std::wstring();
  CreateDirectoryW(user.c_str(), nullptr);
  return writableFolder(user) ? user : std::wstring();
}

std::string ComponentOfferText() {
  return std::string(
             "没有找到 adb.exe（与手机通信的组件）。\n\n"
             "是否从 Google 下载 Android SDK Platform-Tools，取出其中的 adb.exe、AdbWinApi.dll 和 "
             "AdbWinUsbApi.dll 供 Vantaro 使用？\n\n"
             "Android SDK Platform-Tools 的使用条款见：\n") +
         kPlatformToolsTermsAddress + "\n\n单击“是”即表示您已阅读并同意这些条款。";
}

std::string PlatformToolsAddress() {
  wchar_t replaced[2048];
  DWORD length = GetEnvironmentVariableW(L"VANTARO_PLATFORM_TOOLS_URL", replaced, 2048);
  if (length == 0 || length >= 2048) return kPlatformToolsAddress;
  return wideToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(replaced), length));
}

std::wstring VerifiedSigner(const std::wstring& path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  std::wstring signer;
  if (status == ERROR_SUCCESS) {
    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* leaf = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    if (leaf && leaf->csCertChain > 0 && leaf->pasCertChain && leaf->pasCertChain[0].pCert) {
      PCCERT_CONTEXT certificate = leaf->pasCertChain[0].pCert;
      std::wstring organisation = certificateName(certificate, CERT_NAME_ATTR_TYPE, szOID_ORGANIZATION_NAME);
      std::wstring common = certificateName(certificate, CERT_NAME_ATTR_TYPE, szOID_COMMON_NAME);
      if (isExpectedSigner(organisation, common)) signer = organisation.empty() ? common : organisation;
    }
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return signer;
}

ComponentResult InstallAdbComponent(const std::wstring& zipPath, const std::wstring& folder) {
  // A working adb.exe is never replaced, nor the libraries beside it.
  if (GetFileAttributesW((folder + L"adb.exe").c_str()) != INVALID_FILE_ATTRIBUTES) return {false, kAlreadyThereText};
  Zip zip(zipPath);
  if (!zip.get()) return {false, kNotZipText};

  // Every name first: a zip that tries to leave its folder is refused whole.
  bool found[3] = {};
  uint64_t sizes[3] = {};
  int step = unzGoToFirstFile(zip.get());
  if (step != UNZ_OK) return {false, kNotZipText};
  for (; step == UNZ_OK; step = unzGoToNextFile(zip.get())) {
    unz_file_info64 info;
    char name[1024];
    if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
      return {false, kBrokenText};
    if (info.size_filename >= sizeof name || leavesFolder(name)) return {false, kUnsafeNamesText};
    for (size_t i = 0; i < 3; ++i) {
      if (!equalsNoCaseAscii(name, kMembers[i].name)) continue;
      if (found[i]) return {false, kBrokenText};  // twice: which one is meant?
      found[i] = true;
      sizes[i] = info.uncompressed_size;
    }
  }
  if (step != UNZ_END_OF_LIST_OF_FILE) return {false, kBrokenText};
  for (size_t i = 0; i < 3; ++i) {
    if (!found[i]) return {false, kMissingFilesText};
    if (sizes[i] == 0 || sizes[i] > kLargestMember) return {false, kBrokenText};
  }

  CreateDirectoryW(folder.c_str(), nullptr);
  Parts parts(folder);
  for (size_t i = 0; i < 3; ++i) {
    if (unzLocateFile(zip.get(), kMembers[i].name, 2) != UNZ_OK) return {false, kBrokenText};
    parts.written(i);
    if (!extractCurrent(zip.get(), sizes[i], parts.part(i))) {
      return {false, GetFileAttributesW(parts.part(i).c_str()) == INVALID_FILE_ATTRIBUTES ? kWriteFailedText
                                                                                            : kBrokenText};
    }
  }
  if (VerifiedSigner(parts.part(kAdb)).empty()) return {false, kUnsignedText};
  for (size_t i = 0; i < 3; ++i)
    if (!parts.place(i)) return {false, kWriteFailedText};
  parts.commit();
  return {true, kInstalledText};
}

}  // namespace vantaro
